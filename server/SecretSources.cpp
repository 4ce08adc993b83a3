#include "server/SecretSources.h"

#include "common/CodePage.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace memberd {

bool SecretSources::checkFile(const QString& path, QStringList& warnings, QString& error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = QStringLiteral("cannot read the file %1").arg(path);
        return false;
    }
    // Whoever may change the file may change what memberd trusts.
    if (st.st_uid != ::geteuid() && st.st_uid != 0) {
        error = QStringLiteral("%1 belongs to user %2, neither the user memberd runs as nor root; refused "
                               "(chown)")
                    .arg(path)
                    .arg(st.st_uid);
        return false;
    }
    if (st.st_mode & S_IWOTH) {
        error = QStringLiteral("%1 may be changed by any user; refused (chmod o-w %1)").arg(path);
        return false;
    }
    if (st.st_mode & S_IWGRP) {
        error =
            QStringLiteral("%1 may be changed by the members of its group; refused (chmod g-w %1)").arg(path);
        return false;
    }
    if (st.st_mode & S_IROTH)
        warnings << QStringLiteral("%1 may be read by any user (chmod o-r %1)").arg(path);
    return true;
}

bool SecretSources::readFile(const QString& path, QString& content, QStringList& warnings, QString& error) {
    if (!checkFile(path, warnings, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the file %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray bytes = file.readAll();
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    content = QString::fromUtf8(bytes);
    return true;
}

bool SecretSources::password(const QString& passwordFile, const tolva::CodePage& codePage,
                             QByteArray& encoded, QStringList& warnings, QString& error) {
    QString password;
    QString source;
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (!passwordFile.isEmpty()) {
        source = passwordFile;
        if (!readFile(passwordFile, password, warnings, error))
            return false;
    } else if (qEnvironmentVariableIsSet("MEMBERD_PASSWORD")) {
        source = QStringLiteral("MEMBERD_PASSWORD");
        password = qEnvironmentVariable("MEMBERD_PASSWORD");
    } else if (!credentials.isEmpty() && QFile::exists(credentials + QStringLiteral("/memberd-password"))) {
        source = credentials + QStringLiteral("/memberd-password");
        if (!readFile(source, password, warnings, error))
            return false;
    } else {
        error = QStringLiteral("no password: give --password-file FILE, set MEMBERD_PASSWORD or pass the "
                               "credential memberd-password");
        return false;
    }
    if (password.isEmpty()) {
        error = QStringLiteral("the password from %1 is empty; refused").arg(source);
        return false;
    }
    encoded = codePage.encode(password);
    if (codePage.decode(encoded) != password) {
        error = QStringLiteral("the password from %1 holds characters the code page cannot carry; refused")
                    .arg(source);
        return false;
    }
    return true;
}

bool SecretSources::connectionString(const QString& db, const QString& dbFile, QString& connectionString,
                                     QStringList& warnings, QString& error) {
    if (!db.isEmpty()) {
        connectionString = db;
    } else if (!dbFile.isEmpty()) {
        if (!readFile(dbFile, connectionString, warnings, error))
            return false;
        connectionString = connectionString.trimmed();
    } else if (qEnvironmentVariableIsSet("MEMBERD_DB")) {
        connectionString = qEnvironmentVariable("MEMBERD_DB").trimmed();
    } else {
        connectionString = QStringLiteral("Provider=SQLite;Data Source=member.db");
    }
    if (connectionString.isEmpty()) {
        error = QStringLiteral("the connection string is empty");
        return false;
    }
    return true;
}

} // namespace memberd
