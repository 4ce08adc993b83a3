#include "server/StatementIntake.h"

#include "common/CodePage.h"
#include "server/Protocol.h"

namespace memberd {

StatementIntake::StatementIntake(const tolva::CodePage& cp, bool allowAnySql)
    : m_cp(cp), m_allowAnySql(allowAnySql) {}

StatementIntake::Statement StatementIntake::take(const QByteArray& prefix, const QByteArray& command,
                                                 const QByteArray& data) const {
    Statement s;
    QString reason;
    s.sent = m_cp.decode(data);
    // Only a statement the checker reads as a plain SELECT cannot write,
    // also where any statement may run.
    const StatementChecker::Verdict verdict = m_checker.check(s.sent, s.tokens);
    s.runsAlone = !(verdict.allowed && verdict.kind == StatementChecker::Kind::Select && !verdict.locksRows);
    s.oneStatement = verdict.allowed || StatementChecker::isOneStatement(s.sent);
    if (m_allowAnySql && s.sent.trimmed().isEmpty()) {
        // Nothing to run: the database would answer with no result and no
        // error, which reads as a connection gone.
        s.refusal = answers::failure(
            m_cp, prefix, command, rc::kRefused, QStringLiteral("不接受的要求: ") + verdict.reason,
            QStringLiteral("refused %1: %2 []").arg(QString::fromLatin1(command), verdict.reason));
        return s;
    }
    if (m_allowAnySql) {
        s.reads = s.sent.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
    } else {
        if (!verdict.allowed) {
            const QString cmd = QString::fromLatin1(command);
            s.refusal = answers::failure(
                m_cp, prefix, command, rc::kRefused, QStringLiteral("不接受的要求: ") + verdict.reason,
                QStringLiteral("refused %1: %2 [%3]").arg(cmd, verdict.reason, s.sent.left(200)));
            return s;
        }
        s.reads = verdict.kind == StatementChecker::Kind::Select;
    }
    s.sql = m_serverTime.rewrite(s.sent);
    // Most statements hold no current-time expression and keep their tokens.
    if (s.sql.constData() != s.sent.constData() && !StatementChecker::tokenize(s.sql, s.tokens, reason))
        s.tokens.clear();
    return s;
}

} // namespace memberd
