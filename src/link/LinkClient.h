#pragma once

#include "link/Grid.h"
#include "link/LinkIndicators.h"
#include "link/LinkSettings.h"
#include "link/WireCodec.h"

#include <QAbstractSocket>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QSslSocket>
#include <QString>
#include <chrono>
#include <optional>

class QEventLoop;

namespace tolva {

struct Globals;
class Dialogs;
class Reporter;

// How the last request of the link ended, beyond its true/false answer:
// Replied - the service answered "00" (for a query an empty data part then
// means "no rows"); Failed - the service answered with a failure code;
// NoReply - the request went out and nothing came back within the wait (what
// it did at the service is unknown); NotSent - nothing went out, because the
// connection was down or the request's data holds the terminator.
enum class LinkOutcome { Replied, Failed, NoReply, NotSent };

// The desk's link to the member service: one connection, one request in
// flight, synchronous for its callers. A request waits in a local event loop
// until its reply is complete or the wait has run out; user input is held
// back meanwhile, and a request started while another one waits is refused.
class LinkClient : public QObject {
    Q_OBJECT

public:
    LinkClient(Globals& globals, Reporter& reporter, Dialogs& dialogs, LinkIndicators& indicators,
               const CodePage& codePage, QObject* parent = nullptr);
    ~LinkClient() override;

    // The character that ends every message on the wire (code 3 unless set).
    void setTerminator(QChar end) { gTcpEnd = end; }
    QChar terminator() const { return gTcpEnd; }
    // How long a request waits for its reply, in seconds of ten steps each.
    void setTimeoutSeconds(int seconds) { gTcpTimeout = seconds; }
    int timeoutSeconds() const { return gTcpTimeout; }
    // Whether the service accepted the last log-in and the connection stands.
    bool isLinked() const { return gTcpLinked; }
    // The prefix the requests carry, taken from the settings of connectWith.
    const QString& prefix() const { return mMsgPrefix; }
    // The result code and the data part of the last reply.
    const QString& lastResultCode() const { return gTcpRC; }
    const QString& lastData() const { return gTcpData; }
    // The header row (columns split by tabs) of the last query that had rows.
    const QString& lastHeader() const { return m_header; }
    // Whether the start of a reply has come and waits for the rest.
    bool hasPartialReply() const { return !mRecvPart.isEmpty(); }

    // Closes and reopens the connection and logs in with the password
    // (kept as mHostPWD, which the connect event sends). True when accepted.
    bool Connect_TCPSrv(const QString& host, const QString& port, const QString& password);
    // The same with the desk's link settings, whose prefix the requests
    // then carry. With TLS on (settings.tls) this and every later log-in
    // speak TLS, the service's certificate verified against the CA for the
    // host given; a failed handshake is told to the operator ("憑證驗證失敗:
    // ...") and never followed by clear text.
    bool connectWith(const LinkSettings& settings);
    // Sends one request; true when it was answered "00", result then holds
    // the reply's data.
    bool SEND_TCPCMD(const QString& prefix, const QString& command, const QString& data, QString& result);
    // Sends a "SELECT" and loads the reply's rows into the grid (row 0, the
    // header, only when withHeader); the header row is left in lastHeader().
    // False for a failure reply, an empty reply and a missing reply alike;
    // lastOutcome() tells them apart.
    bool SelectData(const QString& prefix, const QString& sql, Grid& grid, bool withHeader);

    LinkOutcome lastOutcome() const { return m_outcome; }
    // The count field of the last reply: for "SERVER" the number of rows the
    // statement changed. Empty when the service left the field blank.
    std::optional<qint64> lastCount() const;
    bool isWaiting() const { return m_loop != nullptr; }
    // Whether the service announced keyed postings in the count field of
    // its log-in reply (bit 1); false before a log-in and for services that
    // leave the field 000000.
    bool keyedPostings() const { return (m_capabilities & 1) != 0; }
    // The service's certificate of the last TLS log-in (subject and expiry,
    // for the operator); empty without TLS.
    QString peerCertificateSummary() const;

    // The socket events.
    void Winsock1_Connect();
    void Winsock1_DataArrival(qint64 bytesTotal);
    void Winsock1_Error(int number, const QString& description);

    QTcpSocket& Winsock1() { return *m_socket; }

    // Wait limits: 200 steps for the log-in, timeoutSeconds() x 10 steps for a
    // request, each step 100 ms. Tests shorten the step.
    void setStepLength(std::chrono::milliseconds step) { m_step = step; }
    std::chrono::milliseconds stepLength() const { return m_step; }
    void setLoginSteps(int steps) { m_loginSteps = steps; }
    int loginSteps() const { return m_loginSteps; }
    // A wait longer than this shows the operator that the desk waits for the
    // service: the message line says so and the pointer turns busy, until
    // the wait ends. Tests set zero to show it at once.
    void setBusyAfter(std::chrono::milliseconds moment) { m_busyAfter = moment; }

private:
    enum class Waiting { Login, Request };
    void wait(Waiting what, int steps);
    bool doneWaiting(Waiting what) const;
    void wake();
    // The waiting text and the busy pointer, shown while a wait lasts.
    void showBusy();
    void endBusy();
    void sendRequest(const QString& prefix, const QString& command, const QString& data);
    // Sends one request and waits for its reply; true when it was answered
    // "00" (the outcome then is Replied), false for a failure or no reply.
    bool exchange(const QString& prefix, const QString& command, const QString& data);
    bool refuseWhileWaiting(const QString& command);
    // False (with the outcome NotSent and a log line) when the request cannot
    // go out whole: no connection, or data that the terminator would cut.
    bool canSend(const QString& command, const QString& data);
    void dropLink();
    // The TLS settings onto the socket; a Fault when a file cannot be used.
    void prepareTls();
    void tlsRefused(const QList<QSslError>& errors);

    // Link state.
    QChar gTcpEnd = QChar(0x03);
    int gTcpTimeout = 15;
    bool gTcpReplied = false;
    bool gTcpLinked = false;
    QString gTcpCmd;
    QString gTcpRC;
    QString gTcpData;
    QString gTcpCount;
    QString m_header;

    // The link settings of the last log-in and the unfinished reply.
    QString mMsgPrefix = QStringLiteral("ZELQ");
    QString mHostPWD;
    QByteArray mRecvPart;

    Globals& m_g;
    Reporter& m_reporter;
    Dialogs& m_dialogs;
    LinkIndicators& m_indicators;
    WireCodec m_codec;
    QSslSocket* m_socket;
    LinkTls m_tls;
    QString m_host;
    QString m_tlsFailure; // why the last TLS handshake failed, for the operator
    QSslCertificate m_peer;
    QEventLoop* m_loop = nullptr;
    bool m_socketGone = false;
    LinkOutcome m_outcome = LinkOutcome::Replied;
    qint64 m_capabilities = 0;
    std::chrono::milliseconds m_step{100};
    int m_loginSteps = 200;
    std::chrono::milliseconds m_busyAfter{300};
    bool m_busyShown = false;
    bool m_busyOver = false;
};

} // namespace tolva
