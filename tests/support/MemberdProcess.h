#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <utility>

// The real memberd, started from the build's bin folder on a loopback
// address of the test's own (127.0.0.2, 127.0.0.3, ...) so that tests can run
// side by side on port 3501. The password goes in through MEMBERD_PASSWORD.
class MemberdProcess {
public:
    MemberdProcess(QString address, QString connectionString, QStringList extraArgs = {},
                   QString password = QStringLiteral("secret"));
    ~MemberdProcess();
    MemberdProcess(const MemberdProcess&) = delete;
    MemberdProcess& operator=(const MemberdProcess&) = delete;

    // Starts it and waits for its "listening on" line; false when it ended first.
    bool start();
    QString address() const { return m_address; }
    static quint16 port() { return 3501; }

    // Everything it wrote to stderr so far, and a wait for a text to appear there.
    QString log();
    bool waitForLog(const QString& text, int ms = 20000);

    // SIGTERM, then waits for the end; the exit code, or -1 when it did not end normally.
    int terminate();
    QProcess& process() { return m_process; }

    static QString program();
    // memberd run to its end with these arguments (e.g. --init-db); its exit
    // code (-1 when it did not end in time) and standard error.
    static std::pair<int, QString> runToEnd(const QStringList& args);

private:
    QString m_address;
    QString m_connStr;
    QStringList m_extra;
    QString m_password;
    QProcess m_process;
    QByteArray m_stderr;
};
