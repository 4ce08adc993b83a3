#include "support/MemberdProcess.h"

#include "support/ChildProcess.h"
#include "support/LoopbackBlock.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

MemberdProcess::MemberdProcess(const QString& address, QString connectionString, QStringList extraArgs,
                               QString password)
    : m_address(LoopbackBlock::own(address)), m_connStr(std::move(connectionString)),
      m_extra(std::move(extraArgs)), m_password(std::move(password)) {}

MemberdProcess::~MemberdProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

QString MemberdProcess::program() {
    return qEnvironmentVariable("TOLVA_BIN_DIR") + QStringLiteral("/memberd");
}

std::pair<int, QString> MemberdProcess::runToEnd(const QStringList& args) {
    QStringList owned = args;
    const qsizetype listen = owned.indexOf(QStringLiteral("--listen"));
    if (listen >= 0 && listen + 1 < owned.size())
        owned[listen + 1] = LoopbackBlock::own(owned.at(listen + 1));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MEMBERD_PASSWORD"), QStringLiteral("secret"));
    p.setProcessEnvironment(env);
    endWithTestProcess(p);
    p.start(program(), owned);
    if (!p.waitForFinished(60000))
        return {-1, QString()};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

bool MemberdProcess::start() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MEMBERD_PASSWORD"), m_password);
    m_process.setProcessEnvironment(env);
    m_process.setReadChannel(QProcess::StandardError);
    QStringList args{QStringLiteral("--listen"), m_address, QStringLiteral("--db"), m_connStr};
    // The throwaway cluster is reached as its superuser, which memberd refuses
    // unless told; tests of the service's own role connect as that role.
    if (m_connStr.contains(QLatin1String("Provider=PostgreSQL")) &&
        m_connStr.contains(QLatin1String("User ID=postgres")))
        args << QStringLiteral("--allow-superuser");
    args += m_extra;
    endWithTestProcess(m_process);
    m_process.start(program(), args);
    if (!m_process.waitForStarted(10000))
        return false;
    return waitForLog(QStringLiteral("listening on"));
}

QString MemberdProcess::log() {
    m_stderr += m_process.readAllStandardError();
    return QString::fromUtf8(m_stderr);
}

bool MemberdProcess::waitForLog(const QString& text, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!log().contains(text)) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return log().contains(text);
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

int MemberdProcess::terminate() {
    m_process.terminate();
    if (!m_process.waitForFinished(20000))
        return -1;
    log();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int MemberdProcess::addStore(const QString& file, const QString& store, const QByteArray& password) {
    QProcess p;
    endWithTestProcess(p);
    p.start(program(), {QStringLiteral("--add-store"), store, QStringLiteral("--store-passwords"), file});
    if (!p.waitForStarted(10000))
        return -1;
    p.write(password + '\n');
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
