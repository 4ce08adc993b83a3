#include "server/Answers.h"

#include "server/Protocol.h"

namespace memberd::answers {

Outcome failure(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                const char* code, const QString& text, const QString& logLine) {
    Outcome result;
    result.reply = reply(cp, prefix, command, code, 0, cleanValue(text));
    result.logLine = logLine;
    return result;
}

QString timeoutText(int statementTimeoutMs) {
    return QStringLiteral("資料庫忙碌, 超過 %1 秒沒有完成, 這筆要求沒有執行")
        .arg(statementTimeoutMs / 1000.0);
}

Outcome timedOutBeforeItRan(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                            int statementTimeoutMs) {
    return failure(cp, prefix, command, rc::kDatabase, timeoutText(statementTimeoutMs),
                   QStringLiteral("error %1: timed out before it ran").arg(QString::fromLatin1(command)));
}

Outcome cancelledAfter(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                       int statementTimeoutMs, const QString& what) {
    return failure(cp, prefix, command, rc::kDatabase, timeoutText(statementTimeoutMs),
                   QStringLiteral("error %1: cancelled after %2 ms [%3]")
                       .arg(QString::fromLatin1(command))
                       .arg(statementTimeoutMs)
                       .arg(what));
}

Outcome connectionLost(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                       const QString& message) {
    return failure(cp, prefix, command, rc::kDatabase,
                   QStringLiteral("資料庫連線中斷, 請再試一次: ") + message,
                   QStringLiteral("error %1: database connection lost, reconnecting at the next request: %2")
                       .arg(QString::fromLatin1(command), message));
}

Outcome unreachable(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                    const QString& message) {
    return failure(cp, prefix, command, rc::kDatabase, QStringLiteral("資料庫無法連線, 請稍後再試"),
                   QStringLiteral("error %1: database still unreachable: %2")
                       .arg(QString::fromLatin1(command), message));
}

Outcome databaseError(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                      const QString& message, const QString& denial, const QString& what) {
    return failure(
        cp, prefix, command, rc::kDatabase, message,
        QStringLiteral("error %1: %2%3 [%4]")
            .arg(QString::fromLatin1(command), message,
                 denial.isEmpty() ? QString() : QStringLiteral(" (denied ") + denial + QLatin1Char(')'),
                 what));
}

Outcome replyTooLarge(const tolva::CodePage& cp, const QByteArray& prefix, const QByteArray& command,
                      qint64 maxReplyBytes, const QString& what) {
    return failure(cp, prefix, command, rc::kTooLarge,
                   QStringLiteral("查詢結果太大 (上限 %1 位元組), 請縮小查詢範圍").arg(maxReplyBytes),
                   QStringLiteral("refused %1: reply larger than %2 bytes [%3]")
                       .arg(QString::fromLatin1(command))
                       .arg(maxReplyBytes)
                       .arg(what));
}

QString clientWentAway(const QByteArray& command) {
    return QStringLiteral("cancelled %1: the client went away").arg(QString::fromLatin1(command));
}

QString firstLine(QString text) {
    text = text.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
    // Qt may join the driver's and the database's text on one line.
    const qsizetype detail = text.indexOf(QLatin1String("DETAIL:"));
    if (detail >= 0)
        text = text.left(detail).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("資料庫錯誤");
    return text;
}

} // namespace memberd::answers
