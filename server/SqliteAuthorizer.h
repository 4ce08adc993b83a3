#pragma once

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

namespace memberd {

// The database's own enforcement on SQLite: an authorizer on the connection
// (sqlite3_set_authorizer) that lets statements read, insert into and update
// the member tables only, call only the functions the desks' statements need,
// and do nothing else (no other table, no pragma, no attach, no schema change,
// no delete). A statement that tries is refused by SQLite when it is prepared.
//
// memberd's own keyed postings also use the key table PostKey and a
// transaction of their own: those are allowed only while ownStatements() is
// on, which memberd turns on around its own statements and never around a
// desk's.
class SqliteAuthorizer {
public:
    // The sqlite3 handle under a QSQLITE connection; nullptr for other drivers.
    static sqlite3* handleOf(const QSqlDatabase& db);
    static bool isMemberTable(const char* name);
    static bool isKeyTable(const char* name);
    static bool isAllowedFunction(const char* name);

    // Installs this authorizer on the connection (replacing any other one);
    // false when the connection is not SQLite. The object must outlive the
    // connection or be removed with remove().
    bool install(const QSqlDatabase& db);
    static void remove(const QSqlDatabase& db);

    // What was refused last ("table xxPARAM", "function load_extension", ...);
    // empty when nothing was. clearDenial() before a statement.
    // While on, statements may also use PostKey and begin and end transactions.
    void setOwnStatements(bool on) { m_own = on; }

    const QString& lastDenial() const { return m_denial; }
    bool deniedTable() const { return m_deniedTable; }
    void clearDenial() {
        m_denial.clear();
        m_deniedTable = false;
    }

private:
    static int decide(void* self, int action, const char* a, const char* b, const char* database,
                      const char* trigger);
    QString m_denial;
    bool m_deniedTable = false;
    bool m_own = false;
};

} // namespace memberd
