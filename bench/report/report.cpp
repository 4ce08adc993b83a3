// The summary report over a large card log: ROWS transactions over 30 stores
// in the database of CONNSTR (seeded first when --seed is given), then the
// report from the button to the first preview page drawn, the total time and
// the peak memory of the report alone.
//   bench_report CONNSTR ROWS [--seed]
#include "app/AppContext.h"
#include "common/Fault.h"
#include "common/SilentDialogs.h"
#include "desk/SummaryReport.h"
#include "print/Printing.h"
#include "print/Printout.h"
#include "print/Renderer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace tolva;

namespace {

// The preview as far as the operator sees it: page 1 drawn.
class FirstPagePrinting : public Printing {
public:
    QElapsedTimer* clock = nullptr;
    qint64 firstPageMs = -1;
    int pages = 0;
    size_t documentBytes = 0;
    int rows = 0;

    QStringList printers() override { return {QStringLiteral("PDF")}; }
    QString defaultPrinter() override { return QStringLiteral("PDF"); }
    void preview(Printout report) override {
        const QImage page = Renderer(report.document).pageImage(0, 96);
        firstPageMs = clock->elapsed();
        report.finish();
        pages = report.document.pageCount();
        documentBytes = report.document.memoryUse();
        rows = report.rows.rowCount();
        Q_UNUSED(page);
    }
    void print(const Document&, const QString&, int, int) override {}
    bool printWithDialog(const Document&) override { return false; }
    void savePdf(const Document&, const QString&) override {}
};

long statusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void seed(Database& db, int rows) {
    try {
        db.execute(QStringLiteral("DELETE FROM VCardLog"));
    } catch (const Fault&) {
        db.createSchema(); // a server database that has no tables yet
    }
    const bool pg = db.dialect().product() == Dialect::Product::PostgreSQL;
    if (pg) {
        db.execute(
            QStringLiteral(
                "INSERT INTO VCardLog (TxnDept, TxnType, CardNo, TxnDate, TxnAmt, RefCheckNo) "
                "SELECT 'S' || lpad((i % 30 + 1)::text, 2, '0'), CASE WHEN i % 3 = 0 THEN '2' ELSE '1' END, "
                "'M' || lpad((i % 5000)::text, 6, '0'), TIMESTAMP '2026-12-01' + (i % 8) * INTERVAL '1 day', "
                "100 + i % 50 * 10, 'A' || lpad(i::text, 8, '0') FROM generate_series(1, %1) AS i")
                .arg(rows));
        db.execute(QStringLiteral("ANALYZE VCardLog"));
        return;
    }
    db.begin();
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("INSERT INTO VCardLog (TxnDept, TxnType, CardNo, TxnDate, TxnAmt, RefCheckNo) "
                             "VALUES (?, ?, ?, ?, ?, ?)"));
    for (int i = 1; i <= rows; ++i) {
        q.addBindValue(QStringLiteral("S%1").arg(i % 30 + 1, 2, 10, QLatin1Char('0')));
        q.addBindValue(i % 3 == 0 ? QStringLiteral("2") : QStringLiteral("1"));
        q.addBindValue(QStringLiteral("M%1").arg(i % 5000, 6, 10, QLatin1Char('0')));
        q.addBindValue(QStringLiteral("2026-12-0%1 00:00:00").arg(i % 8 + 1));
        q.addBindValue(100 + i % 50 * 10);
        q.addBindValue(QStringLiteral("A%1").arg(i, 8, 10, QLatin1Char('0')));
        q.exec();
    }
    db.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        fprintf(stderr, "usage: bench_report CONNSTR ROWS [--seed]\n");
        return 2;
    }
    QTemporaryDir dir;
    SystemClock clock;
    StderrDialogs dialogs;
    AppContext ctx(dialogs, clock, CodePage(), dir.path());
    ctx.g.gErrFile = dir.filePath(QStringLiteral("bench.err"));
    ctx.gCNT.open(args[1]);
    ctx.settings.Save(QStringLiteral("ZEL"), QStringLiteral("KP"), QStringLiteral("CPrinter"),
                      QStringLiteral("PDF"));
    const int rows = args[2].toInt();
    try {
        if (args.contains(QStringLiteral("--seed")))
            seed(ctx.gCNT, rows);
    } catch (const Fault& fault) {
        fprintf(stderr, "bench_report: seeding failed: %s\n", qPrintable(fault.message()));
        return 1;
    }

    const long baseKb = statusKb("VmRSS:");
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // the peak starts again from here
    clear.close();

    FirstPagePrinting printing;
    QElapsedTimer timer;
    printing.clock = &timer;
    timer.start();
    const bool shown = SummaryReport(ctx, printing).print(QString(), QString(), false);
    const qint64 totalMs = timer.elapsed();
    if (!shown) {
        fprintf(stderr, "bench_report: the report failed (see %s)\n", qPrintable(ctx.g.gErrFile));
        return 1;
    }
    printf("%s rows=%d pages=%d first-page=%lld ms total=%lld ms peak-rss=%ld MB (before %ld MB) "
           "document=%zu MB export-rows=%d\n",
           qPrintable(ctx.gCNT.providerName()), rows, printing.pages, printing.firstPageMs, totalMs,
           statusKb("VmHWM:") / 1024, baseKb / 1024, printing.documentBytes / (1024 * 1024), printing.rows);
    return 0;
}
