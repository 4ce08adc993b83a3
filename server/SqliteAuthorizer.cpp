#include "server/SqliteAuthorizer.h"

#include <QSqlDriver>
#include <QVariant>
#include <cstring>
#include <sqlite3.h>
#include <strings.h>

namespace memberd {

namespace {

constexpr const char* kMemberTables[] = {"CUST", "VCardLog"};

// Functions the desks' statements use: current time and dates, aggregates for
// the reports, small text and number helpers; LIKE and GLOB run as functions.
constexpr const char* kAllowedFunctions[] = {
    "datetime", "date",      "time",     "julianday", "strftime", "count", "sum",  "total",  "min",
    "max",      "avg",       "coalesce", "ifnull",    "upper",    "lower", "trim", "ltrim",  "rtrim",
    "substr",   "substring", "length",   "round",     "abs",      "like",  "glob", "nullif",
};

template <size_t N> bool listed(const char* const (&list)[N], const char* name) {
    if (!name)
        return false;
    for (const char* entry : list)
        if (::strcasecmp(entry, name) == 0)
            return true;
    return false;
}

} // namespace

sqlite3* SqliteAuthorizer::handleOf(const QSqlDatabase& db) {
    if (!db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || std::strcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

bool SqliteAuthorizer::isMemberTable(const char* name) {
    return listed(kMemberTables, name);
}

bool SqliteAuthorizer::isKeyTable(const char* name) {
    return name && ::strcasecmp(name, "PostKey") == 0;
}

bool SqliteAuthorizer::isAllowedFunction(const char* name) {
    return listed(kAllowedFunctions, name);
}

bool SqliteAuthorizer::install(const QSqlDatabase& db) {
    sqlite3* handle = handleOf(db);
    if (!handle)
        return false;
    return sqlite3_set_authorizer(handle, &SqliteAuthorizer::decide, this) == SQLITE_OK;
}

void SqliteAuthorizer::remove(const QSqlDatabase& db) {
    if (sqlite3* handle = handleOf(db))
        sqlite3_set_authorizer(handle, nullptr, nullptr);
}

int SqliteAuthorizer::decide(void* context, int action, const char* a, const char* b, const char* database,
                             const char*) {
    auto* self = static_cast<SqliteAuthorizer*>(context);
    const auto deny = [&](const QString& what, bool table) {
        self->m_denial = what;
        self->m_deniedTable = self->m_deniedTable || table;
        return SQLITE_DENY;
    };
    // A statement that reads no column of a table ("Select :x From CUST")
    // is checked once for the table with no database name: that is the
    // main database, the only one a connection of ours has.
    const bool mainDatabase = !database || std::strcmp(database, "main") == 0;
    switch (action) {
    case SQLITE_SELECT:
        return SQLITE_OK;
    case SQLITE_READ:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
        if (mainDatabase && (isMemberTable(a) || (self->m_own && isKeyTable(a))))
            return SQLITE_OK;
        return deny(QStringLiteral("table ") + QString::fromUtf8(a ? a : "?"), true);
    case SQLITE_FUNCTION:
        if (isAllowedFunction(b))
            return SQLITE_OK;
        return deny(QStringLiteral("function ") + QString::fromUtf8(b ? b : "?"), false);
    case SQLITE_TRANSACTION:
        if (self->m_own)
            return SQLITE_OK;
        return deny(QStringLiteral("action %1").arg(action), false);
    default:
        return deny(QStringLiteral("action %1").arg(action), false);
    }
}

} // namespace memberd
