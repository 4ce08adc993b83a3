#pragma once

#include "server/Answers.h"
#include "server/ServerTime.h"
#include "server/StatementChecker.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tolva {
class CodePage;
}

namespace memberd {

// A desk's statement as it arrives, before it runs: decoded from the code
// page once, checked (unless any statement may run), the desks' current-time
// expressions replaced by the database's own (ServerTime).
class StatementIntake {
public:
    struct Statement {
        QString sql;           // what runs
        QString sent;          // as the desk sent it
        bool reads = false;    // takes no SQLite writer lock
        bool runsAlone = true; // may write or lock rows: never run beside others on one connection
        // False: may hold several statements (only when any statement may run).
        bool oneStatement = true;
        std::optional<Outcome> refusal; // the checker's answer when it may not run
        QList<SqlToken> tokens;         // of sql; empty when it could not be tokenized
    };

    StatementIntake(const tolva::CodePage& cp, bool allowAnySql);

    void setServerTime(ServerTime serverTime) { m_serverTime = std::move(serverTime); }
    Statement take(const QByteArray& prefix, const QByteArray& command, const QByteArray& data) const;

private:
    const tolva::CodePage& m_cp;
    bool m_allowAnySql;
    StatementChecker m_checker;
    ServerTime m_serverTime;
};

} // namespace memberd
