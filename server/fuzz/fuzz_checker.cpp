// The statement checker, with the SQLite authorizer as the oracle: a statement
// the checker lets through must not touch any table but the member tables.
// It runs on a scratch database inside a transaction that is rolled back.
#include "db/Database.h"
#include "server/ServerTime.h"
#include "server/SqliteAuthorizer.h"
#include "server/StatementChecker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unistd.h>

namespace {

struct Scratch {
    tolva::Database db;
    memberd::SqliteAuthorizer authorizer;
    memberd::StatementChecker checker;
    memberd::ServerTime serverTime{tolva::Dialect::forProvider(QStringLiteral("SQLite")).serverDate()};
    Scratch() {
        const QString file = QDir::tempPath() + QStringLiteral("/tolva-fuzz-checker-%1.db").arg(::getpid());
        QFile::remove(file);
        db.open(QStringLiteral("Provider=SQLite;Data Source=") + file);
        db.execute(QStringLiteral("INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('A1', 'x', 10)"));
        db.execute(QStringLiteral("INSERT INTO VCardLog (CardNo, TxnAmt) VALUES ('A1', 5)"));
    }
};

Scratch& scratch() {
    static int argc = 1;
    static char name[] = "fuzz_checker";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Scratch s;
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Scratch& s = scratch();
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const memberd::StatementChecker::Verdict verdict = s.checker.check(sql);
    if (!verdict.allowed)
        return 0;
    QSqlQuery query(s.db.handle());
    query.exec(QStringLiteral("BEGIN"));
    s.authorizer.clearDenial();
    s.authorizer.install(s.db.handle());
    query.exec(s.serverTime.rewrite(sql));
    while (query.next()) {
    }
    query.finish();
    memberd::SqliteAuthorizer::remove(s.db.handle());
    query.exec(QStringLiteral("ROLLBACK"));
    if (s.authorizer.deniedTable()) {
        std::fprintf(stderr, "checker allowed a statement that touches %s:\n%s\n",
                     qPrintable(s.authorizer.lastDenial()), sql.toUtf8().constData());
        std::abort();
    }
    return 0;
}
