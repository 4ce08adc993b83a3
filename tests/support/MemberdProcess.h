#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <utility>

// The real memberd, started from the build's bin folder on port 3501 of a
// loopback address. The test names a 127.0.x.y address; the process listens
// on that address moved into the test process's own block (LoopbackBlock),
// so no other test program running at the same time listens there, and
// address() tells where it is. It ends with the test process, also when the
// test crashes. The password goes in through MEMBERD_PASSWORD.
class MemberdProcess {
public:
    MemberdProcess(const QString& address, QString connectionString, QStringList extraArgs = {},
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
    // code (-1 when it did not end in time) and standard error. A --listen
    // address is moved into the test process's block as above.
    static std::pair<int, QString> runToEnd(const QStringList& args);
    // memberd --add-store STORE --store-passwords FILE with the password on
    // its standard input; its exit code (-1 when it did not end in time).
    static int addStore(const QString& file, const QString& store, const QByteArray& password);

private:
    QString m_address;
    QString m_connStr;
    QStringList m_extra;
    QString m_password;
    QProcess m_process;
    QByteArray m_stderr;
};
