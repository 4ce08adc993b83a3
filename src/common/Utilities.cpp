#include "common/Utilities.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cmath>

namespace tolva {

QString PadTextB(const CodePage& codePage, const QString& text, int width) {
    if (width <= 0)
        return QString();
    QByteArray bytes = codePage.encode(text);
    if (bytes.size() > width)
        bytes.truncate(width);
    const qsizetype n = bytes.size();
    return codePage.decode(bytes) + QString(width - n, QLatin1Char(' '));
}

void Pause(double seconds) {
    if (!(seconds > 0))
        return;
    const double ms = std::floor(seconds * 1000.0);
    QThread::msleep(static_cast<unsigned long>(std::min(ms, 4.0e9)));
}

namespace {
// An error number in the manner of errno for a program that did not start.
int startErrorCode(const QString& program, QProcess::ProcessError error) {
    const QString found =
        program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (found.isEmpty() || !QFileInfo::exists(found))
        return 2;
    const QFileInfo info(found);
    if (info.isDir() || !info.isExecutable())
        return 13;
    return 100 + static_cast<int>(error);
}
} // namespace

int ShellWait(const QString& program, const QStringList& args, int windowStyle) {
    if (windowStyle < 0 || windowStyle > 6)
        windowStyle = 6;
    Q_UNUSED(windowStyle);

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForStarted(-1))
        return kShellStartFailure + startErrorCode(program, process.error());
    while (process.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents();
        process.waitForFinished(100);
    }
    if (process.exitStatus() == QProcess::CrashExit)
        return -1;
    return process.exitCode();
}

bool IsDirectory(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool IsFileExist(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QString AddPathSep(const QString& path, const QString& sep) {
    if (path.isEmpty() || path.endsWith(sep))
        return path;
    return path + sep;
}

} // namespace tolva
