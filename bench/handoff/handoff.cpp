// A handed-over deduction in one process, from InitForm to the end of the
// confirmation: log-in, card query, reconnect, the posting, answer keys -
// against memberd on loopback with SQLite. Measured twice in the same run,
// runs interleaved: with the statement sequence (a service without keyed
// postings: balance statement, local and remote log rows) and with a keyed
// posting (journal row, one keyed request, local log row).
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
#include <memory>

using namespace tolva;

namespace {
struct Service {
    QString address;
    DeskFixture f;
    std::unique_ptr<MemberdProcess> memberd;
    QList<double> times;

    Service(const QString& addr, const QStringList& args) : address(addr) {
        const QString memberConn =
            QStringLiteral("Provider=SQLite;Data Source=") + f.dir.filePath(QStringLiteral("member.db"));
        {
            Database member;
            member.open(memberConn);
            member.execute(QStringLiteral(
                "INSERT INTO CUST (CustNo, CustName, TBonusAmt) VALUES ('M0001', '王小明', 1000000)"));
        }
        f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
        f.save("ZELQ", "TOLVA", "IP", address);
        f.save("ZELQ", "TOLVA", "PWD", QStringLiteral("secret"));
        memberd = std::make_unique<MemberdProcess>(address, memberConn, args);
    }

    // One hand-off from InitForm to the end of the confirmation; the time in
    // ms, or a negative number when it did not post.
    double run(int i) {
        // The bill is this store's and on file, as the confirmation checks.
        f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO OCHECK (CheckNo, StoreID) VALUES ('A%1', 'S01')").arg(i));
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
            std::fprintf(stderr, "bench_handoff: run %d on %s did not post (%s)\n", i, qPrintable(address),
                         qPrintable(f.dialogs.msgs.join(QLatin1Char('|')) + f.errors()));
            return -1;
        }
        return ms;
    }

    double median() {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }
    void print(const char* what) {
        const double mid = median(); // sorts the times
        std::printf("%-20s median %.2f ms, p90 %.2f ms, max %.2f ms\n", what, mid,
                    times[static_cast<qsizetype>(times.size() * 0.9)], times.last());
    }
};
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 50;

    // The memberd built beside this benchmark, started as the tests start it.
    if (qEnvironmentVariable("TOLVA_BIN_DIR").isEmpty())
        qputenv("TOLVA_BIN_DIR",
                QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")));
    Service statements(QStringLiteral("127.0.0.70"), {QStringLiteral("--no-keyed-postings")});
    Service keyed(QStringLiteral("127.0.0.71"), {});
    for (Service* s : {&statements, &keyed})
        if (!s->memberd->start()) {
            std::fprintf(stderr, "bench_handoff: memberd did not start: %s\n", qPrintable(s->memberd->log()));
            return 1;
        }

    for (int i = 0; i <= runs; ++i) {
        for (Service* s : {&statements, &keyed}) {
            const double ms = s->run(i);
            if (ms < 0)
                return 1;
            if (i > 0) // the first run warms the caches
                s->times << ms;
        }
    }
    statements.memberd->terminate();
    keyed.memberd->terminate();
    std::printf("handed-over deduction, InitForm to end of cmdOK_Click, %d runs each, interleaved\n", runs);
    statements.print("statement sequence");
    keyed.print("keyed posting");
    std::printf("keyed / statements: %.2fx\n", keyed.median() / statements.median());
    return 0;
}
