#include "app/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace tolva {

QString programFolder() {
    return programFolder(qEnvironmentVariable("TOLVA_HOME"), QCoreApplication::applicationDirPath());
}

QString programFolder(const QString& home, const QString& programFileDir) {
    if (home.isEmpty())
        return programFileDir;
    return QDir::cleanPath(QDir::current().absoluteFilePath(home));
}

} // namespace tolva
