#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tolva {
class CodePage;
}

namespace memberd {

// Where the service's secrets come from, and the checks they must pass. A
// file holding a secret must belong to the user memberd runs as (or to root)
// and must not be writable by its group or other users (refused); it should
// not be readable by other users (a warning).
class SecretSources {
public:
    // The checks alone, for a file that may hold a secret (the configuration
    // file may hold the database's password). False with a reason.
    static bool checkFile(const QString& path, QStringList& warnings, QString& error);

    // Reads a secret file; the content without its trailing line breaks.
    // False with a reason; warnings are appended to.
    static bool readFile(const QString& path, QString& content, QStringList& warnings, QString& error);

    // The log-in password: --password-file FILE, else MEMBERD_PASSWORD, else
    // $CREDENTIALS_DIRECTORY/memberd-password. Refused when missing, empty, or
    // holding characters the code page cannot carry (they would all match "?").
    static bool password(const QString& passwordFile, const tolva::CodePage& codePage, QByteArray& encoded,
                         QStringList& warnings, QString& error);

    // The connection string: --db, else --db-file FILE, else MEMBERD_DB, else
    // the default; the two last keep it out of the process list.
    static bool connectionString(const QString& db, const QString& dbFile, QString& connectionString,
                                 QStringList& warnings, QString& error);
};

} // namespace memberd
