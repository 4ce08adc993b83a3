#include "db/Dialect.h"

#include "common/Formatting.h"

namespace tolva {

namespace {
const QString kSqlServer = QStringLiteral("SQLOLED");
const QString kOracle = QStringLiteral("MSDAORA");
const QString kOdbc = QStringLiteral("MSDASQL");
const QString kAccess = QStringLiteral("MICROSO");
const QString kSqlite = QStringLiteral("SQLITE");
const QString kPostgres = QStringLiteral("POSTGRE");
} // namespace

Dialect Dialect::forProvider(const QString& providerName) {
    const QString key = providerName.left(7).toUpper();
    const QString atIdentity = QStringLiteral("SELECT @@IDENTITY AS 'NewRNo' ");
    Dialect d;
    d.key = key;
    d.known = true;
    if (key == kSqlServer) {
        d.serverDate = QStringLiteral("getDate()");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = atIdentity;
        d.schemaFile = QStringLiteral(":/db/sqlserver.sql");
        d.keyCheckHint = QStringLiteral(" WITH (UPDLOCK, HOLDLOCK)");
    } else if (key == kOracle) {
        d.serverDate = QStringLiteral("SYSDATE");
        d.dateQuote = QStringLiteral("TO_DATE");
    } else if (key == kOdbc) {
        d.serverDate = QStringLiteral("now()");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = atIdentity;
    } else if (key == kAccess) {
        d.serverDate = QStringLiteral("now()");
        d.dateQuote = QStringLiteral("#");
        d.identityQuery = atIdentity;
    } else if (key == kSqlite) {
        d.serverDate = QStringLiteral("datetime('now','localtime')");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = QStringLiteral("SELECT last_insert_rowid() AS NewRNo");
        d.schemaFile = QStringLiteral(":/db/sqlite.sql");
        d.timestampType = QStringLiteral("TEXT");
        d.statementTransactions = true;
        d.singleWriter = true;
        d.onConflictDoNothing = true;
    } else if (key == kPostgres) {
        d.serverDate = QStringLiteral("LOCALTIMESTAMP(0)");
        d.dateQuote = QStringLiteral("'");
        d.identityQuery = QStringLiteral("SELECT lastval() AS NewRNo");
        d.schemaFile = QStringLiteral(":/db/postgresql.sql");
        d.timestampType = QStringLiteral("TIMESTAMP");
        d.onConflictDoNothing = true;
    } else {
        d.known = false;
    }
    return d;
}

QString Dialect::beginStatement() const {
    return key == kSqlite ? QStringLiteral("BEGIN IMMEDIATE") : QString();
}

QString Dialect::lockedSelect(const QString& table, const QString& where) const {
    if (key == kSqlServer)
        return QStringLiteral("Select * From ") + table + QStringLiteral(" WITH (UPDLOCK, ROWLOCK)") + where;
    if (key == kPostgres)
        return QStringLiteral("Select * From ") + table + where + QStringLiteral(" FOR UPDATE");
    return QStringLiteral("Select * From ") + table + where;
}

QString Dialect::addColumn(const QString& table, const QString& definition) const {
    const bool keyword = key == kSqlite || key == kPostgres;
    return QStringLiteral("ALTER TABLE ") + table +
           (keyword ? QStringLiteral(" ADD COLUMN ") : QStringLiteral(" ADD ")) + definition;
}

QString Dialect::money(const QString& expression) const {
    if (key == kSqlite)
        return QStringLiteral("ROUND(") + expression + QStringLiteral(", 2)");
    return expression;
}

QVariant Dialect::dateValue(const QDateTime& value) const {
    if (key == kSqlite)
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value;
}

QString Dialect::dateLiteral(const QVariant& value) const {
    const std::optional<QDateTime> dt = readAsDate(value);
    if (!dt)
        return QStringLiteral("NULL");
    if (key == kSqlite)
        return QLatin1Char('\'') + dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('\'');
    Globals quoting;
    quoting.gDateQuote = key == kOracle ? QStringLiteral("TO_DATE") : dateQuote;
    return QuotDate(quoting, *dt);
}

} // namespace tolva
