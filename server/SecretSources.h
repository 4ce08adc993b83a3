#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tolva {
class CodePage;
}

namespace memberd {

// Where the service's secrets come from, and the checks they must pass. A
// file holding a secret must not be writable by other users (refused) and
// should not be readable by them (a warning).
class SecretSources {
public:
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
