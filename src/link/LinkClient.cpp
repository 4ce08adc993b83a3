#include "link/LinkClient.h"

#include "common/Dialogs.h"
#include "common/Fault.h"
#include "common/Globals.h"
#include "common/Guard.h"
#include "common/Reporter.h"

#include "link/TlsText.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

namespace tolva {

namespace {
const QString kOk = QStringLiteral("00");
const QString kLogin = QStringLiteral("TCPCNT");
const QString kClosing = QStringLiteral("TCPCLS");
const QString kSelect = QStringLiteral("SELECT");
const QString kWaitingForService = QStringLiteral("等待會員資料庫回應…");
} // namespace

LinkClient::LinkClient(Globals& globals, Reporter& reporter, Dialogs& dialogs, LinkIndicators& indicators,
                       const CodePage& codePage, QObject* parent)
    : QObject(parent), m_g(globals), m_reporter(reporter), m_dialogs(dialogs), m_indicators(indicators),
      m_codec(codePage), m_socket(new QSslSocket(this)) {
    // Over TLS the log-in goes out once the handshake is done, never before.
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        if (!m_tls.on)
            Winsock1_Connect();
    });
    connect(m_socket, &QSslSocket::encrypted, this, [this] {
        m_peer = m_socket->peerCertificate();
        Winsock1_Connect();
    });
    connect(m_socket, &QSslSocket::sslErrors, this, &LinkClient::tlsRefused);
    connect(m_socket, &QTcpSocket::readyRead, this,
            [this] { Winsock1_DataArrival(m_socket->bytesAvailable()); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A handshake that broke off for another reason than the service's
        // certificate: the service wants a client certificate, or speaks no TLS.
        const bool handshake = error == QAbstractSocket::SslHandshakeFailedError ||
                               error == QAbstractSocket::SslInternalError ||
                               error == QAbstractSocket::SslInvalidUserDataError ||
                               (error == QAbstractSocket::RemoteHostClosedError && !m_socket->isEncrypted());
        if (m_tls.on && handshake && m_tlsFailure.isEmpty() && !gTcpLinked)
            m_tlsFailure = TlsText::handshakeFailed(error, m_socket->errorString());
        Winsock1_Error(static_cast<int>(error), m_socket->errorString());
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_socketGone = true;
        gTcpLinked = false;
        m_indicators.setModeCaption(QString());
        wake();
    });
}

LinkClient::~LinkClient() = default;

bool LinkClient::connectWith(const LinkSettings& settings) {
    mMsgPrefix = settings.prefix;
    m_tls = settings.tls;
    return Connect_TCPSrv(settings.host, settings.port, settings.loginData());
}

bool LinkClient::Connect_TCPSrv(const QString& host, const QString& port, const QString& password) {
    if (refuseWhileWaiting(kLogin))
        return false;
    m_outcome = LinkOutcome::Failed;
    return guard(m_reporter, Report::Msg, QStringLiteral("basSOCKET_Connect_TCPSrv"), false, [&] {
        bool numeric = false;
        const quint16 portNo = port.trimmed().toUShort(&numeric);
        if (!numeric || portNo == 0)
            throw Fault(Fault::kGeneric, QStringLiteral("無效的通訊埠: ") + port);

        m_socket->abort();
        m_indicators.setModeCaption(QString());
        // A piece of a reply from the old connection must not prefix the
        // first reply of the new one.
        mRecvPart.clear();
        m_socketGone = false;
        mHostPWD = password;
        gTcpLinked = false;
        m_capabilities = 0;
        gTcpRC.clear();
        gTcpData.clear();
        m_host = host;
        m_tlsFailure.clear();
        m_peer.clear();
        if (m_tls.on) {
            prepareTls();
            m_socket->connectToHostEncrypted(host, portNo);
        } else {
            m_socket->connectToHost(host, portNo);
        }
        gTcpRC.clear();
        wait(Waiting::Login, m_loginSteps);
        if (!gTcpLinked && !m_tlsFailure.isEmpty()) {
            m_reporter.WriteLog(QStringLiteral("LinkDOWN: ") + m_tlsFailure);
            m_dialogs.messageBox(m_tlsFailure, Dialogs::Icon::Critical, m_g.title());
        }

        if (gTcpLinked) {
            m_outcome = LinkOutcome::Replied;
            m_capabilities = lastCount().value_or(0);
        } else if (gTcpRC.isEmpty())
            m_outcome = LinkOutcome::NoReply;
        return gTcpLinked;
    });
}

void LinkClient::prepareTls() {
    if (!QSslSocket::supportsSsl())
        throw Fault(Fault::kGeneric, QStringLiteral("此電腦無法使用加密連線 (找不到 OpenSSL)"));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Only the CA of the settings is trusted, not the system's.
    const QList<QSslCertificate> authorities = QSslCertificate::fromPath(m_tls.caFile, QSsl::Pem);
    if (authorities.isEmpty())
        throw Fault(Fault::kGeneric, QStringLiteral("無法讀取 CA 憑證檔: ") + m_tls.caFile);
    tls.setCaCertificates(authorities);
    if (!m_tls.certFile.isEmpty() || !m_tls.keyFile.isEmpty()) {
        const QList<QSslCertificate> own = QSslCertificate::fromPath(m_tls.certFile, QSsl::Pem);
        if (own.isEmpty())
            throw Fault(Fault::kGeneric, QStringLiteral("無法讀取用戶端憑證檔: ") + m_tls.certFile);
        QFile file(m_tls.keyFile);
        const QByteArray pem = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        QSslKey key;
        for (const QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa, QSsl::Dsa}) {
            key = QSslKey(pem, algorithm);
            if (!key.isNull())
                break;
        }
        if (key.isNull())
            throw Fault(Fault::kGeneric, QStringLiteral("無法讀取用戶端金鑰檔: ") + m_tls.keyFile);
        tls.setLocalCertificate(own.constFirst());
        tls.setLocalCertificateChain(own);
        tls.setPrivateKey(key);
    }
    m_socket->setSslConfiguration(tls);
}

// The service's certificate did not verify: the handshake stops (no error
// is ignored) and the operator is told why once the log-in wait ends.
void LinkClient::tlsRefused(const QList<QSslError>& errors) {
    m_tlsFailure = TlsText::verificationFailed(errors, m_host);
}

QString LinkClient::peerCertificateSummary() const {
    return TlsText::summary(m_peer);
}

std::optional<qint64> LinkClient::lastCount() const {
    bool numeric = false;
    const qint64 count = gTcpCount.trimmed().toLongLong(&numeric);
    return numeric ? std::optional<qint64>(count) : std::nullopt;
}

bool LinkClient::canSend(const QString& command, const QString& data) {
    QString why;
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        why = QStringLiteral(" not sent: no connection");
    else if (data.contains(gTcpEnd))
        why = QStringLiteral(" not sent: its data holds the terminator");
    else
        return true;
    m_reporter.WriteLog(QStringLiteral("LinkDOWN: ") + command + why);
    m_outcome = LinkOutcome::NotSent;
    return false;
}

bool LinkClient::exchange(const QString& prefix, const QString& command, const QString& data) {
    gTcpData.clear();
    gTcpCount.clear();
    gTcpReplied = false;
    if (!canSend(command, data))
        return false;
    sendRequest(prefix, command, data);
    wait(Waiting::Request, gTcpTimeout * 10);
    if (!gTcpReplied) {
        m_outcome = LinkOutcome::NoReply;
        gTcpLinked = false;
        dropLink();
        return false;
    }
    gTcpReplied = false;
    if (gTcpRC != kOk)
        return false;
    m_outcome = LinkOutcome::Replied;
    return true;
}

bool LinkClient::SEND_TCPCMD(const QString& prefix, const QString& command, const QString& data,
                             QString& result) {
    if (refuseWhileWaiting(command))
        return false;
    m_outcome = LinkOutcome::Failed;
    return guard(m_reporter, Report::Msg, QStringLiteral("basSOCKET_SEND_TCPCMD"), false, [&] {
        if (!exchange(prefix, command, data))
            return false;
        result = gTcpData;
        return true;
    });
}

bool LinkClient::SelectData(const QString& prefix, const QString& sql, Grid& grid, bool withHeader) {
    if (refuseWhileWaiting(kSelect))
        return false;
    m_outcome = LinkOutcome::Failed;
    return guard(m_reporter, Report::Msg, QStringLiteral("basSOCKET_SelectData"), false, [&] {
        // Whatever happens below, the grid never keeps rows of an earlier query.
        grid.setRows(grid.FixedRows());
        if (!exchange(prefix, kSelect, sql) || gTcpData.isEmpty())
            return false;

        const QStringList rows = gTcpData.split(QLatin1Char(';'));
        m_header = rows.constFirst();
        grid.setCols(static_cast<int>(rows.constFirst().split(QLatin1Char('\t')).size()));
        for (qsizetype i = withHeader ? 0 : 1; i < rows.size(); ++i)
            grid.AddItem(rows.at(i));
        return true;
    });
}

void LinkClient::Winsock1_Connect() {
    guardVoid(m_reporter, Report::Msg, QStringLiteral("fmTOLVA_Winsock1_Connect"), [&] {
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        gTcpCmd = kLogin;
        // A password holding the terminator would end the log-in early and
        // send the rest as a request of its own.
        if (mHostPWD.contains(gTcpEnd)) {
            m_reporter.WriteLog(
                QStringLiteral("LinkDOWN: TCPCNT not sent: the password holds the terminator"));
            m_socket->abort();
            return;
        }
        sendRequest(mMsgPrefix, kLogin, mHostPWD);
    });
}

void LinkClient::Winsock1_DataArrival(qint64 bytesTotal) {
    Q_UNUSED(bytesTotal);
    guardVoid(m_reporter, Report::Msg, QStringLiteral("fmTOLVA_Winsock1_DataArrival"), [&] {
        m_codec.setEnd(gTcpEnd);
        const std::optional<QString> message = m_codec.assemble(mRecvPart, *m_socket);
        if (!message)
            return;
        const WireReply reply = WireReply::split(*message);
        gTcpData = reply.data;
        gTcpRC = reply.rc;
        gTcpCount = reply.count;
        gTcpCmd = reply.command;
        const QString command = gTcpCmd.toUpper();
        // A closing notice is never the answer to a waiting request.
        if (command != kClosing)
            gTcpReplied = true;
        m_indicators.setMessageLine(QString());

        if (gTcpRC != kOk) {
            endBusy();
            if (!gTcpData.isEmpty())
                m_dialogs.messageBox(gTcpData, Dialogs::Icon::Critical, m_g.title());
        } else if (command == kLogin) {
            gTcpLinked = true;
            m_indicators.setModeCaption(QStringLiteral("Connected.  "));
        } else if (command == kClosing) {
            endBusy();
            m_dialogs.messageBox(QStringLiteral("遠端TCP通訊服務程式已關閉"), Dialogs::Icon::Warning,
                                 m_g.title());
        }
        wake();
    });
}

void LinkClient::Winsock1_Error(int number, const QString& description) {
    m_reporter.WriteLog(QStringLiteral("WinsockERROR: ") + description + QStringLiteral(", (") +
                        QString::number(number) + QStringLiteral(")"));
    // No reply can come over a socket that is down: the wait need not run out.
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        m_socketGone = true;
        wake();
    }
}

void LinkClient::sendRequest(const QString& prefix, const QString& command, const QString& data) {
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        throw Fault(Fault::kGeneric, QStringLiteral("與會員資料服務的連線未建立, 無法傳送 ") + command);
    m_codec.setEnd(gTcpEnd);
    const QByteArray bytes = m_codec.request(prefix, command, data);
    if (m_socket->write(bytes) != bytes.size())
        throw Fault(Fault::kGeneric, QStringLiteral("傳送失敗: ") + m_socket->errorString());
    m_socket->flush();
}

bool LinkClient::refuseWhileWaiting(const QString& command) {
    if (!isWaiting())
        return false;
    m_reporter.WriteLog(QStringLiteral("LinkBUSY: ") + command +
                        QStringLiteral(" refused while another request waits for its reply"));
    m_outcome = LinkOutcome::Failed;
    return true;
}

void LinkClient::dropLink() {
    // A reply that comes after its request gave up would be taken as the
    // answer to the next request: the connection is out of step, close it.
    m_socket->abort();
    mRecvPart.clear();
    m_indicators.setModeCaption(QString());
}

bool LinkClient::doneWaiting(Waiting what) const {
    if (m_socketGone)
        return true;
    return what == Waiting::Login ? !gTcpRC.isEmpty() : gTcpReplied;
}

void LinkClient::wake() {
    if (m_loop)
        m_loop->quit();
}

void LinkClient::showBusy() {
    if (m_busyShown || m_busyOver || !m_loop)
        return;
    m_busyShown = true;
    // Set before the loop goes on, so the window repaints the line while
    // it waits.
    m_indicators.setMessageLine(kWaitingForService);
    m_dialogs.busyPointer();
}

void LinkClient::endBusy() {
    // Once the reply is in (a box may be up over it), the wait shows busy no more.
    m_busyOver = true;
    if (!m_busyShown)
        return;
    m_busyShown = false;
    // The waiting text never outlives the wait; what came of the request is
    // told by its caller as before.
    m_indicators.setMessageLine(QString());
    m_dialogs.normalPointer();
}

void LinkClient::wait(Waiting what, int steps) {
    QEventLoop loop;
    m_loop = &loop;
    const QDeadlineTimer deadline(m_step * qMax(steps, 0), Qt::PreciseTimer);
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer busy;
    busy.setSingleShot(true);
    connect(&busy, &QTimer::timeout, this, &LinkClient::showBusy);
    m_busyOver = false;
    if (m_busyAfter.count() <= 0)
        showBusy();
    else
        busy.start(m_busyAfter);

    // Socket, timer and paint events are delivered; keys and clicks wait
    // until the request is over, so no other handler can start inside this
    // wait.
    const auto flags = QEventLoop::ExcludeUserInputEvents;
    loop.processEvents(flags);
    while (!doneWaiting(what) && !deadline.hasExpired()) {
        timer.start(std::chrono::ceil<std::chrono::milliseconds>(deadline.remainingTimeAsDuration()));
        loop.exec(flags);
    }
    busy.stop();
    endBusy();
    m_loop = nullptr;
}

} // namespace tolva
