#pragma once

#include <QByteArray>
#include <QString>

namespace tolva {
class CodePage;
}

namespace memberd {

// The answer to one request.
struct Outcome {
    QByteArray reply;
    QString logLine;         // a refusal, a database error or a keyed posting; else empty
    bool clientGone = false; // the client left while its statement ran: no reply
};

// The failures a statement is answered with, the same whichever way it ran.
namespace answers {

// A reply with a result code other than "00" and its text, and the log line.
Outcome failure(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                const char* code, const QString& text, const QString& logLine);
// What the desk reads when the statement's time ran out.
QString timeoutText(int statementTimeoutMs);
Outcome timedOutBeforeItRan(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                            int statementTimeoutMs);
Outcome cancelledAfter(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                       int statementTimeoutMs, const QString& what);
// The statement found the database connection gone: not run again, whatever became of it.
Outcome connectionLost(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                       const QString& message);
Outcome unreachable(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                    const QString& message);
Outcome databaseError(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                      const QString& message, const QString& denial, const QString& what);
Outcome replyTooLarge(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                      qint64 maxReplyBytes, const QString& what);
QString clientWentAway(const QByteArray& command);
// The first line of a database's error text, so details that quote row
// data ("Failing row contains (...)", "Key (...)=(...)") stay inside the
// database; "資料庫錯誤" when there is none.
QString firstLine(QString text);

} // namespace answers
} // namespace memberd
