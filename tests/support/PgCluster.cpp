#include "support/PgCluster.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString serverBinaries() {
    QStringList found =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return QString();
}

// A port nobody listens on now; the cluster keeps it for its life.
int freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// The folder belongs to the postgres user when the test runs as root.
bool handOver(const QString& path) {
    if (::geteuid() != 0)
        return true;
    const passwd* pg = ::getpwnam("postgres");
    return pg && ::chown(QFile::encodeName(path).constData(), pg->pw_uid, pg->pw_gid) == 0 &&
           ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

} // namespace

PgCluster::PgCluster() : m_bin(serverBinaries()), m_port(freePort()) {
    if (m_dir.isValid()) {
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        QDir(m_dir.path()).mkdir(QStringLiteral("data"));
        handOver(m_dir.path());
        handOver(dataDir());
    }
}

PgCluster::~PgCluster() {
    if (QFile::exists(dataDir() + QStringLiteral("/postmaster.pid")))
        stop(QStringLiteral("immediate"));
}

bool PgCluster::binariesFound() {
    return !serverBinaries().isEmpty();
}

QString PgCluster::dataDir() const {
    return m_dir.path() + QStringLiteral("/data");
}

QString PgCluster::connectionString() const {
    return QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=%1;Database=postgres;User ID=postgres")
        .arg(m_port);
}

bool PgCluster::run(const QString& tool, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = m_bin + QLatin1Char('/') + tool;
    if (::geteuid() == 0)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} +
                    args);
    else
        p.start(program, args);
    const bool ended = p.waitForFinished(timeoutMs);
    m_error = QString::fromLocal8Bit(p.readAll());
    if (!ended) {
        p.kill();
        p.waitForFinished();
    }
    return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PgCluster::create(const QStringList& settings) {
    if (m_bin.isEmpty() || m_port == 0 || !m_dir.isValid())
        return false;
    m_settings = settings;
    return run(QStringLiteral("initdb"),
               {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), QStringLiteral("postgres"),
                QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")}) &&
           start();
}

bool PgCluster::createStandbyOf(const PgCluster& primary, const QStringList& settings) {
    if (m_bin.isEmpty() || m_port == 0 || !m_dir.isValid())
        return false;
    m_settings = settings;
    return run(QStringLiteral("pg_basebackup"),
               {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                QString::number(primary.port()), QStringLiteral("-U"), QStringLiteral("postgres"),
                QStringLiteral("-D"), dataDir(), QStringLiteral("-R"), QStringLiteral("-X"),
                QStringLiteral("stream"), QStringLiteral("--no-sync")}) &&
           start();
}

bool PgCluster::start() {
    QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                          .arg(m_port)
                          .arg(m_dir.path());
    for (const QString& s : m_settings)
        options += QStringLiteral(" -c ") + s;
    // After a SIGKILL the old server's children may still hold its shared
    // memory for a moment: the start is tried again until they are gone.
    const QDeadlineTimer deadline(60000);
    for (;;) {
        if (run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-w"),
                                           QStringLiteral("-l"), m_dir.path() + QStringLiteral("/server.log"),
                                           QStringLiteral("-o"), options, QStringLiteral("start")}))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(200);
    }
}

bool PgCluster::stop(const QString& mode) {
    return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"), mode,
                                          QStringLiteral("-w"), QStringLiteral("stop")});
}

bool PgCluster::killPostmaster() {
    QFile pidFile(dataDir() + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = static_cast<pid_t>(pidFile.readLine().trimmed().toLong());
    if (pid <= 0 || ::kill(pid, SIGKILL) != 0)
        return false;
    // Gone once signal 0 no longer finds it (a child of init, reaped there).
    const QDeadlineTimer deadline(20000);
    while (::kill(pid, 0) == 0) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool PgCluster::promote() {
    return run(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), dataDir(), QStringLiteral("-w"), QStringLiteral("promote")});
}

bool PgCluster::running() {
    return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("status")});
}
