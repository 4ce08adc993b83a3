// Latency of a card lookup through the desk's own link client (SelectData)
// against a running memberd: one desk, lookups one after another.
//   bench_latency HOST PASSWORD CARDS LOOKUPS
#include "common/Globals.h"
#include "common/Reporter.h"
#include "common/SilentDialogs.h"
#include "link/LinkClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct NoIndicators : tolva::LinkIndicators {
    void setMessageLine(const QString&) override {}
    void setModeCaption(const QString&) override {}
};
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: bench_latency HOST PASSWORD CARDS LOOKUPS\n");
        return 2;
    }
    QTemporaryDir dir;
    tolva::StderrDialogs dialogs;
    NoIndicators indicators;
    tolva::SystemClock clock;
    tolva::CodePage cp;
    tolva::Globals g;
    g.gLogFile = dir.filePath(QStringLiteral("bench.log"));
    g.gErrFile = dir.filePath(QStringLiteral("bench.err"));
    tolva::Reporter reporter(g, cp, clock, dialogs);
    tolva::LinkClient link(g, reporter, dialogs, indicators, cp);
    if (!link.Connect_TCPSrv(args.at(1), QStringLiteral("3501"), args.at(2))) {
        std::fprintf(stderr, "bench_latency: log-in failed\n");
        return 1;
    }
    const int cards = args.at(3).toInt();
    const int lookups = args.at(4).toInt();
    tolva::Grid fgTMP;
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(lookups));
    auto* rng = QRandomGenerator::global();
    for (int i = 0; i < lookups; ++i) {
        const QString sql =
            QStringLiteral(" Select CustName , Tel1 , Zip , BillAddr1 , BillAddr2 , FmComID , "
                           "TBonusAmt From Cust  Where CustNo = 'C%1'")
                .arg(rng->bounded(cards), 5, 10, QLatin1Char('0'));
        QElapsedTimer t;
        t.start();
        const bool found = link.SelectData(link.prefix(), sql, fgTMP, false);
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        if (!found || fgTMP.Rows() != 1) {
            std::fprintf(stderr, "bench_latency: lookup %d found nothing\n", i);
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("SelectData lookups=%d median_ms=%.3f p99_ms=%.3f max_ms=%.3f\n", lookups, ms[ms.size() / 2],
                ms[ms.size() * 99 / 100], ms.back());
    return 0;
}
