// Fills a member database with cards C00000.. for the link benchmarks.
//   bench_seed CONNSTR COUNT
#include "common/Fault.h"
#include "db/Database.h"
#include "db/SqlTransaction.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_seed CONNSTR COUNT\n");
        return 2;
    }
    try {
        tolva::Database db;
        db.open(args.at(1));
        const QStringList tables = db.handle().tables();
        if (!tables.contains(QStringLiteral("CUST"), Qt::CaseInsensitive))
            db.createSchema();
        const int count = args.at(2).toInt();
        tolva::SqlTransaction tx(db);
        db.execute(QStringLiteral("DELETE FROM CUST"));
        for (int i = 0; i < count; ++i)
            db.execute(QStringLiteral(
                           "INSERT INTO CUST (CustNo, CustName, Tel1, Zip, BillAddr1, BillAddr2, FmComID, "
                           "TBonusAmt) VALUES ('C%1', '會員%1', '02-2345-6789', '103', '台北市大同區', "
                           "'民生西路1號', 'S01', %2)")
                           .arg(i, 5, 10, QLatin1Char('0'))
                           .arg(i * 10));
        tx.commit();
        std::printf("seeded %d cards\n", count);
    } catch (const tolva::Fault& fault) {
        std::fprintf(stderr, "bench_seed: %s\n", fault.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
