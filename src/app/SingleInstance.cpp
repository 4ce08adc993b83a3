#include "app/SingleInstance.h"

#include <QDir>
#include <unistd.h>

namespace tolva {

QString SingleInstance::runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    return QDir::tempPath();
}

SingleInstance::SingleInstance(const QString& programName)
    : m_path(runtimeFolder() + QStringLiteral("/%1-%2.lock").arg(programName).arg(::geteuid())) {}

QString SingleInstance::channelName() const {
    QString name = m_path;
    name.chop(int(sizeof(".lock")) - 1);
    return name + QStringLiteral(".sock");
}

bool SingleInstance::acquire() {
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

} // namespace tolva
