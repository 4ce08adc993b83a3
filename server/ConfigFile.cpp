#include "server/ConfigFile.h"

#include "server/SecretSources.h"

#include <QFile>

namespace memberd {

QString ConfigFile::pathIn(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--"))
            break;
        if ((a == QLatin1String("--config") || a == QLatin1String("-config")) && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (a.startsWith(QLatin1String("--config=")))
            return a.mid(9);
    }
    return QString();
}

bool ConfigFile::toArguments(const QString& path, const QList<QCommandLineOption>& options, QStringList& args,
                             QStringList& warnings, QString& error) {
    if (!SecretSources::checkFile(path, warnings, error)) {
        error = QStringLiteral("configuration file: ") + error;
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the configuration file %1: %2").arg(path, file.errorString());
        return false;
    }
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto where = [&] { return QStringLiteral("%1:%2: ").arg(path).arg(number); };
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            error = where() + QStringLiteral("expected name = value");
            return false;
        }
        const QString name = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        const QCommandLineOption* option = nullptr;
        for (const QCommandLineOption& o : options)
            if (o.names().contains(name) && name.size() > 1)
                option = &o;
        if (!option || name == QLatin1String("config") || name == QLatin1String("help")) {
            error = where() + QStringLiteral("unknown setting \"%1\"").arg(name);
            return false;
        }
        if (option->valueName().isEmpty()) {
            if (value == QLatin1String("true")) {
                args << QStringLiteral("--") + name;
            } else if (value != QLatin1String("false")) {
                error = where() + QStringLiteral("%1 takes true or false").arg(name);
                return false;
            }
            continue;
        }
        args << QStringLiteral("--") + name << value;
    }
    return true;
}

} // namespace memberd
