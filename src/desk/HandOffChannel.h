#pragma once

#include "desk/HandOffMailbox.h"

#include <QList>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <functional>

namespace tolva {

// What the running desk says to a request another start passed on.
enum class HandOffReply {
    Taken,    // shown to the operator; the answer follows when the desk is done with it
    Busy,     // the desk is in the middle of something else; nothing was shown
    Answered, // refused at once (the request is not valid); no answer will come
};

// The running desk's end of the channel between two copies of one user's
// desk: a local socket named beside the single-copy lock. A start that finds
// the desk running connects, sends the request it took from the mailbox as
// one line of JSON and reads one line back: "taken", "busy" or "done"; after
// "taken" a second "done" follows once the desk is done with the request
// (the answer, if any, is in the mailbox by then).
class HandOffServer {
public:
    using Taker = std::function<HandOffReply(const HandOffValues&)>;
    explicit HandOffServer(Taker taker);
    // Tells every copy whose request was taken that it is done.
    ~HandOffServer();
    HandOffServer(const HandOffServer&) = delete;
    HandOffServer& operator=(const HandOffServer&) = delete;

    // Listens under name; a socket file left by a copy that died is removed
    // first (the caller holds the single-copy lock, so no live copy owns it).
    bool listen(const QString& name);
    QString errorString() const { return m_server.errorString(); }
    // "done" to every copy whose request was taken.
    void answerAll();

private:
    void accept();
    void read(QLocalSocket* socket);

    QLocalServer m_server;
    Taker m_taker;
    QList<QPointer<QLocalSocket>> m_taken;
};

// The waiting start's end: passes one request to the running desk and waits
// for it to be done with it.
class HandOffPasser {
public:
    enum class Outcome {
        Answered, // the desk is done with it; its answer is in the mailbox
        Busy,     // the desk refused it: in the middle of another transaction
        Gone,     // the connection ended before any reply: the desk was ending
        Lost,     // the desk took it and ended without saying it was done
        NoReply,  // the desk did not reply in time
    };

    explicit HandOffPasser(int replyMilliseconds = 10000) : m_replyMs(replyMilliseconds) {}
    // False when no copy listens under name.
    bool connectTo(const QString& name);
    Outcome pass(const HandOffValues& values);

private:
    // One line from the desk; empty when the connection ended or the wait
    // ran out (milliseconds -1: no limit).
    QByteArray readLine(int milliseconds);

    QLocalSocket m_socket;
    int m_replyMs;
};

} // namespace tolva
