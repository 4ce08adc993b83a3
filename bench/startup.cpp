// Start-up time of the desk: wall time from process start until the main
// window is shown and painted and the event loop has nothing pending
// (offscreen, embedded SQLite, no link), median of N runs, next to the same
// figure for two bare Qt windows started in turn with it: an empty window
// that lays out no text at all (the floor the ratio is taken against), and
// one showing a label with a line of text (any window that shows text loads
// the font configuration and a font). The desk is also started on a
// 1920 x 1080 screen, where it fills the screen at a larger scale.
//   bench_startup [runs]      (run from anywhere; finds the programs beside it)
#include "db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

struct Run {
    double ms = 0;
    double peakKb = 0;
    bool ok = false;
};

Run once(const QString& program, const QProcessEnvironment& env, const QStringList& args = {}) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QFileInfo(program).path());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    Run run;
    if (!p.waitForStarted(10000))
        return run;
    QByteArray out;
    while (!out.contains('\n') && p.waitForReadyRead(30000))
        out += p.readAllStandardOutput();
    run.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    p.waitForFinished(30000);
    if (!out.startsWith("ready"))
        return run;
    run.peakKb = out.mid(6).trimmed().split(' ').value(0).toDouble();
    run.ok = true;
    return run;
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString binDir = QCoreApplication::applicationDirPath();

    // The desk in a folder of its own, with its default INI and database.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(folder);
    QFile::copy(binDir + QStringLiteral("/TOLVA"), folder + QStringLiteral("/TOLVA"));
    QFile::copy(binDir + QStringLiteral("/TOLVA.INI"), folder + QStringLiteral("/TOLVA.INI"));
    QFile::setPermissions(folder + QStringLiteral("/TOLVA"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TOLVA_STARTUP_PROBE"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());

    // The embedded database as a site has it: schema and business date.
    {
        tolva::Database db;
        db.open(QStringLiteral("Provider=SQLite;Data Source=") + folder + QStringLiteral("/TOLVA.db"));
        db.execute(
            QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('OPDATE', '2026/01/02')"));
    }
    // The first start warms the file caches; it is not counted.
    once(folder + QStringLiteral("/TOLVA"), env);

    const QString bareProgram = binDir + QStringLiteral("/bench_bare_window");
    // A till screen larger than the window's own 1024 x 768.
    QProcessEnvironment wide = env;
    {
        QFile json(dir.filePath(QStringLiteral("screen.json")));
        if (json.open(QIODevice::WriteOnly))
            json.write("{ \"windowFrameMargins\": false, \"screens\": [ { \"name\": \"till\", \"x\": 0, "
                       "\"y\": 0, \"width\": 1920, \"height\": 1080, \"logicalDpi\": 96, "
                       "\"logicalBaseDpi\": 96, \"dpr\": 1 } ] }");
        wide.insert(QStringLiteral("QT_QPA_PLATFORM"),
                    QStringLiteral("offscreen:configfile=") + json.fileName());
    }
    QList<double> desk, label, empty, wideDesk, deskPeak, labelPeak, emptyPeak;
    for (int i = 0; i < runs; ++i) {
        const Run d = once(folder + QStringLiteral("/TOLVA"), env);
        const Run l = once(bareProgram, env, {QStringLiteral("label")});
        const Run e = once(bareProgram, env);
        const Run w = once(folder + QStringLiteral("/TOLVA"), wide);
        if (!d.ok || !l.ok || !e.ok || !w.ok) {
            std::fprintf(stderr,
                         "bench_startup: a run did not report ready (desk %d, label window %d, "
                         "empty window %d, desk on 1920 x 1080 %d)\n",
                         d.ok, l.ok, e.ok, w.ok);
            return 1;
        }
        desk << d.ms;
        label << l.ms;
        empty << e.ms;
        wideDesk << w.ms;
        deskPeak << d.peakKb;
        labelPeak << l.peakKb;
        emptyPeak << e.peakKb;
    }
    const auto peakMb = [](const QList<double>& kb) {
        return *std::max_element(kb.begin(), kb.end()) / 1024.0;
    };
    const double deskMs = median(desk), labelMs = median(label), emptyMs = median(empty);
    std::printf("runs: %d\n", runs);
    std::printf("desk start-up median: %.1f ms (peak RSS %.1f MB)\n", deskMs, peakMb(deskPeak));
    std::printf("bare Qt window with a label median: %.1f ms (peak RSS %.1f MB)\n", labelMs,
                peakMb(labelPeak));
    std::printf("empty Qt window median: %.1f ms (peak RSS %.1f MB)\n", emptyMs, peakMb(emptyPeak));
    std::printf("desk on a 1920 x 1080 screen median: %.1f ms\n", median(wideDesk));
    std::printf("ratio: %.2f x the floor (the empty window); %.2f x the window with a label\n",
                deskMs / emptyMs, deskMs / labelMs);
    return 0;
}
