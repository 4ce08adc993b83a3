// Start-up time of the desk: wall time from process start until the main
// window is shown and the event loop idle (offscreen, embedded SQLite, no
// link), median of N runs, next to the same figure for two bare Qt windows
// started in turn with it: one showing a label with a line of text (the
// floor the ratio is taken against: any window that shows text loads the
// font database), and one empty window that lays out no text at all.
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
    QList<double> desk, label, empty, deskPeak, labelPeak, emptyPeak;
    for (int i = 0; i < runs; ++i) {
        const Run d = once(folder + QStringLiteral("/TOLVA"), env);
        const Run l = once(bareProgram, env, {QStringLiteral("label")});
        const Run e = once(bareProgram, env);
        if (!d.ok || !l.ok || !e.ok) {
            std::fprintf(stderr,
                         "bench_startup: a run did not report ready (desk %d, label window %d, "
                         "empty window %d)\n",
                         d.ok, l.ok, e.ok);
            return 1;
        }
        desk << d.ms;
        label << l.ms;
        empty << e.ms;
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
    std::printf("ratio: %.2f x the floor (the window with a label); %.2f x the empty window\n",
                deskMs / labelMs, deskMs / emptyMs);
    return 0;
}
