#pragma once

#include "server/ServerOptions.h"

#include <QString>
#include <QStringList>

namespace memberd {

// What memberd was told to do: its options from the command line and the
// configuration file (--config), the password and connection string from
// their sources, and the mode.
struct StartRequest {
    enum class Mode { Serve, InitDb, CheckConfig, AddStore };
    Mode mode = Mode::Serve;
    ServerOptions options;
    bool allowSuperuser = false;
    bool noKeyedPostings = false;
    int keyDays = 400; // posting keys are kept this long; 0: for ever
    QString roleName = QStringLiteral("memberd");
    QString rolePassword;
    QString addStore; // --add-store: the store whose password is set
    QStringList warnings;
};

// Parses arguments (argv, program name first); false with a one-line reason.
// --help and --version print and exit as usual.
bool parseCommandLine(const QStringList& arguments, StartRequest& request, QString& error);

} // namespace memberd
