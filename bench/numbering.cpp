// Throughput of getNoMDB when several stations take numbers of one series at
// the same time, each process on its own connection.
//
//   bench_numbering CONNECTION-STRING [PROCESSES=4] [CALLS=1000]
//
// Starts the processes, lets them all begin at once, and prints the numbers
// handed out per second. Exits non-zero when any number was handed out twice
// or skipped, or when a call failed.
#include "data/Numbering.h"
#include "app/AppContext.h"
#include "app/Connection.h"
#include "common/SilentDialogs.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace tolva;

namespace {

const QString kCode = QStringLiteral("BENCH");

int fail(const QString& message) {
    QTextStream(stderr) << "bench_numbering: FAILED: " << message << Qt::endl;
    return 1;
}

// One station: connects, says "ready", waits for "go" on stdin, takes the
// numbers and writes them to outFile, one per line.
int worker(const QString& connStr, int calls, const QString& noBy, const QString& outFile) {
    SystemClock clock;
    StderrDialogs dialogs;
    AppContext ctx(dialogs, clock, CodePage(), QDir::tempPath());
    ctx.g.gErrFile = QDir::temp().filePath(
        QStringLiteral("bench_numbering-%1.ERR").arg(QCoreApplication::applicationPid()));
    if (!ConnectADO(connStr, ctx.gCNT, ctx.reporter))
        return fail(QStringLiteral("worker could not connect, see ") + ctx.g.gErrFile);
    std::cout << "ready" << std::endl;
    std::string line;
    if (!std::getline(std::cin, line) || line != "go")
        return fail(QStringLiteral("worker got no start signal"));
    std::string out;
    out.reserve(static_cast<std::size_t>(calls) * 8);
    for (int i = 0; i < calls; ++i) {
        qint64 no = 0;
        if (!getNoMDB(ctx, kCode, noBy, no))
            return fail(QStringLiteral("getNoMDB failed after %1 numbers").arg(i));
        out += std::to_string(no);
        out += '\n';
    }
    QFile file(outFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(out.data(), static_cast<qint64>(out.size())) < 0)
        return fail(QStringLiteral("worker cannot write ") + outFile);
    return 0;
}

int coordinator(const QString& connStr, int processes, int calls) {
    const QString noBy = QStringLiteral("%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QDateTime::currentMSecsSinceEpoch());
    QString provider;
    {
        Database db;
        try {
            db.open(connStr);
            provider = db.providerName();
            try {
                db.query(QStringLiteral("SELECT NoNext FROM xxNO WHERE 1 = 0"));
            } catch (const Fault&) {
                db.createSchema();
            }
        } catch (const Fault& fault) {
            return fail(QStringLiteral("cannot prepare the database: ") + fault.message());
        }
    }

    std::vector<std::unique_ptr<QProcess>> workers;
    QStringList outFiles;
    for (int i = 0; i < processes; ++i) {
        outFiles << QDir::temp().filePath(QStringLiteral("bench_numbering-%1-%2.txt").arg(noBy).arg(i));
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--worker"), connStr, QString::number(calls), noBy, outFiles.last()});
        workers.push_back(std::move(p));
    }
    for (auto& p : workers) {
        if (!p->waitForStarted(30000))
            return fail(QStringLiteral("cannot start a worker"));
        while (!p->canReadLine())
            if (!p->waitForReadyRead(60000))
                return fail(QStringLiteral("a worker did not get ready"));
        if (p->readLine().trimmed() != "ready")
            return fail(QStringLiteral("a worker did not get ready"));
    }

    QElapsedTimer timer;
    timer.start();
    // QProcess writes only from its event handling: push the signal out to
    // every worker now, or they would start one after the other.
    for (auto& p : workers)
        p->write("go\n");
    for (auto& p : workers)
        p->waitForBytesWritten(30000);
    std::vector<char> seen(static_cast<std::size_t>(processes) * static_cast<std::size_t>(calls) + 1, 0);
    for (auto& p : workers)
        p->waitForFinished(-1);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;

    int exitCode = 0;
    int problems = 0;
    // Reports the first problems; a broken lock gives thousands.
    const auto problem = [&](const QString& message) {
        if (++problems <= 10)
            fail(message);
        exitCode = 1;
    };
    for (std::size_t w = 0; w < workers.size(); ++w) {
        QProcess& p = *workers[w];
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            problem(QStringLiteral("worker %1 ended with exit code %2").arg(w).arg(p.exitCode()));
            continue;
        }
        qint64 previous = 0;
        QFile file(outFiles[static_cast<qsizetype>(w)]);
        const QList<QByteArray> lines =
            file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
        file.remove();
        int count = 0;
        for (const QByteArray& line : lines) {
            if (line.isEmpty())
                continue;
            const qint64 no = line.toLongLong();
            ++count;
            if (no <= previous) {
                problem(QStringLiteral("worker %1 got %2 after %3").arg(w).arg(no).arg(previous));
            }
            previous = no;
            if (no < 1 || no >= static_cast<qint64>(seen.size())) {
                problem(QStringLiteral("number %1 is out of range").arg(no));
            } else if (seen[static_cast<std::size_t>(no)]++) {
                problem(QStringLiteral("DUPLICATE number %1").arg(no));
            }
        }
        if (count != calls) {
            problem(QStringLiteral("worker %1 reported %2 numbers, not %3").arg(w).arg(count).arg(calls));
        }
    }
    for (std::size_t no = 1; no < seen.size(); ++no)
        if (!seen[no]) {
            problem(QStringLiteral("GAP: number %1 was never handed out").arg(no));
            break;
        }

    if (problems > 10)
        fail(QStringLiteral("... %1 problems in all").arg(problems));
    const int total = processes * calls;
    QTextStream(stdout) << provider << ": " << processes << " processes x " << calls << " calls = " << total
                        << " numbers in " << QString::number(seconds, 'f', 3)
                        << " s: " << QString::number(total / seconds, 'f', 0) << " numbers/s"
                        << (exitCode == 0 ? " (no duplicate, no gap)" : " (FAILED)") << Qt::endl;
    return exitCode;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == QLatin1String("--worker"))
        return worker(args[2], args[3].toInt(), args[4], args[5]);
    if (args.size() < 2 || args.size() > 4) {
        QTextStream(stderr) << "usage: bench_numbering CONNECTION-STRING [PROCESSES=4] [CALLS=1000]"
                            << Qt::endl;
        return 2;
    }
    const int processes = args.size() > 2 ? args[2].toInt() : 4;
    const int calls = args.size() > 3 ? args[3].toInt() : 1000;
    if (processes < 1 || calls < 1)
        return fail(QStringLiteral("PROCESSES and CALLS must be positive numbers"));
    return coordinator(args[1], processes, calls);
}
