#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

namespace memberd {

// A configuration file of "name = value" lines: name is a long option name
// without its dashes, "#" starts a comment line, blank lines are skipped, and
// a flag option takes "true" or "false". The file's settings are turned into
// command-line arguments that go before the real ones, so the command line
// wins where both give an option.
class ConfigFile {
public:
    // False with a one-line reason ("FILE:LINE: ...") when the file cannot be
    // read or holds a name that is not one of options or a bad flag value.
    // It may hold the database's password, so it must pass the checks of a
    // secret file (SecretSources::checkFile); warnings are appended to.
    static bool toArguments(const QString& path, const QList<QCommandLineOption>& options, QStringList& args,
                            QStringList& warnings, QString& error);
    // The value of "--config FILE" or "--config=FILE" among the arguments; empty when not given.
    static QString pathIn(const QStringList& arguments);
};

} // namespace memberd
