// A handed-over deduction in one process, from InitForm to the end of the
// confirmation: log-in, card query, reconnect, balance statement, local and
// remote log rows, answer keys - against memberd on loopback with SQLite.
//   bench_handoff [runs]     (memberd is taken from the build's bin folder)
#include "desk/Desk.h"
#include "link/LinkClient.h"
#include "support/DeskFixture.h"
#include "support/FakeDeskView.h"
#include "support/MemberdProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>

using namespace tolva;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    const QString address = QStringLiteral("127.0.0.70");

    DeskFixture f;
    const QString memberConn =
        QStringLiteral("Provider=SQLite;Data Source=") + f.dir.filePath(QStringLiteral("member.db"));
    {
        Database member;
        member.open(memberConn);
        member.execute(QStringLiteral(
            "INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('M0001', '王小明', 1000000)"));
    }
    f.ctx.gCNT.execute(QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
    f.save("ZELQ", "TOLVA", "IP", address);
    f.save("ZELQ", "TOLVA", "PWD", QStringLiteral("secret"));

    // The memberd built beside this benchmark, started as the tests start it.
    if (qEnvironmentVariable("TOLVA_BIN_DIR").isEmpty())
        qputenv("TOLVA_BIN_DIR",
                QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")));
    MemberdProcess memberd(address, memberConn);
    if (!memberd.start()) {
        std::fprintf(stderr, "bench_handoff: memberd did not start: %s\n", qPrintable(memberd.log()));
        return 1;
    }

    QList<double> times;
    for (int i = 0; i <= runs; ++i) {
        f.save("ZEL", "TOLVA", "CheckNo", QStringLiteral("A%1").arg(i));
        f.save("ZEL", "TOLVA", "TxnAmt", QStringLiteral("10"));
        f.save("ZEL", "TOLVA", "TxnType", QStringLiteral("2"));
        f.save("ZEL", "TOLVA", "CustNo", QStringLiteral("M0001"));
        FakeDeskView view;
        LinkClient link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage);
        Desk desk(f.ctx, view, link);
        desk.setPause([](int) {});
        QElapsedTimer t;
        t.start();
        desk.InitForm();
        desk.cmdOK_Click(1);
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        if (!view.ended || f.get("ZEL", "TOLVA", "TxnAmtAuth") != QLatin1String("10")) {
            std::fprintf(stderr, "bench_handoff: run %d did not post (%s)\n", i,
                         qPrintable(f.dialogs.msgs.join(QLatin1Char('|')) + f.errors()));
            return 1;
        }
        if (i > 0) // the first run warms the caches
            times << ms;
    }
    memberd.terminate();
    std::sort(times.begin(), times.end());
    std::printf("handed-over deduction, InitForm to end of cmdOK_Click, %d runs\n", runs);
    std::printf("median %.2f ms, p90 %.2f ms, max %.2f ms\n", times[times.size() / 2],
                times[static_cast<qsizetype>(times.size() * 0.9)], times.last());
    return 0;
}
