#include "db/Dialect.h"

#include "common/Formatting.h"

namespace tolva {

namespace {
const QString kAtIdentity = QStringLiteral("SELECT @@IDENTITY AS 'NewRNo' ");
const QString kSqliteDateTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

Dialect Dialect::forProvider(const QString& providerName) {
    const QString key = providerName.left(7).toUpper();
    if (key == QLatin1String("SQLOLED"))
        return Dialect(Product::SqlServer);
    if (key == QLatin1String("MSDAORA"))
        return Dialect(Product::Oracle);
    if (key == QLatin1String("MSDASQL"))
        return Dialect(Product::Odbc);
    if (key == QLatin1String("MICROSO"))
        return Dialect(Product::Access);
    if (key == QLatin1String("SQLITE"))
        return Dialect(Product::SQLite);
    if (key == QLatin1String("POSTGRE") || key == QLatin1String("PGSQL"))
        return Dialect(Product::PostgreSQL);
    return Dialect();
}

QString Dialect::serverDate() const {
    switch (m_product) {
    case Product::SqlServer:
        return QStringLiteral("getDate()");
    case Product::Oracle:
        return QStringLiteral("SYSDATE");
    case Product::Odbc:
    case Product::Access:
        return QStringLiteral("now()");
    case Product::SQLite:
        return QStringLiteral("datetime('now','localtime')");
    case Product::PostgreSQL:
        return QStringLiteral("LOCALTIMESTAMP(0)");
    case Product::Unknown:
        break;
    }
    return QString();
}

QString Dialect::dateQuote() const {
    switch (m_product) {
    case Product::Oracle:
        return QStringLiteral("TO_DATE");
    case Product::Access:
        return QStringLiteral("#");
    default:
        return QStringLiteral("'");
    }
}

QString Dialect::identityQuery() const {
    switch (m_product) {
    case Product::SqlServer:
    case Product::Odbc:
    case Product::Access:
        return kAtIdentity;
    case Product::SQLite:
        return QStringLiteral("SELECT last_insert_rowid() AS NewRNo");
    case Product::PostgreSQL:
        return QStringLiteral("SELECT lastval() AS NewRNo");
    default:
        return QString();
    }
}

QString Dialect::schemaFile() const {
    switch (m_product) {
    case Product::SqlServer:
        return QStringLiteral(":/db/sqlserver.sql");
    case Product::SQLite:
        return QStringLiteral(":/db/sqlite.sql");
    case Product::PostgreSQL:
        return QStringLiteral(":/db/postgresql.sql");
    default:
        return QString();
    }
}

QString Dialect::timestampType() const {
    switch (m_product) {
    case Product::SQLite:
        return QStringLiteral("TEXT");
    case Product::PostgreSQL:
        return QStringLiteral("TIMESTAMP");
    default:
        return QStringLiteral("DATETIME");
    }
}

bool Dialect::statementTransactions() const {
    return !beginStatement().isEmpty();
}

QString Dialect::beginStatement() const {
    return m_product == Product::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QString();
}

bool Dialect::singleWriter() const {
    return m_product == Product::SQLite;
}

bool Dialect::onConflictDoNothing() const {
    return m_product == Product::SQLite || m_product == Product::PostgreSQL;
}

QString Dialect::keyCheckHint() const {
    return m_product == Product::SqlServer ? QStringLiteral(" WITH (UPDLOCK, HOLDLOCK)") : QString();
}

QString Dialect::lockedSelect(const QString& table, const QString& where) const {
    const QString select = QStringLiteral("Select * From ") + table;
    switch (m_product) {
    case Product::SqlServer:
        return select + QStringLiteral(" WITH (UPDLOCK, ROWLOCK)") + where;
    case Product::PostgreSQL:
        return select + where + QStringLiteral(" FOR UPDATE");
    default:
        return select + where;
    }
}

QString Dialect::addColumn(const QString& table, const QString& definition) const {
    const bool keyword = m_product == Product::SQLite || m_product == Product::PostgreSQL;
    return QStringLiteral("ALTER TABLE ") + table +
           (keyword ? QStringLiteral(" ADD COLUMN ") : QStringLiteral(" ADD ")) + definition;
}

QString Dialect::money(const QString& expression) const {
    if (m_product == Product::SQLite)
        return QStringLiteral("ROUND(") + expression + QStringLiteral(", 2)");
    return expression;
}

QVariant Dialect::dateValue(const QDateTime& value) const {
    if (m_product == Product::SQLite)
        return value.toString(kSqliteDateTime);
    return value;
}

QString Dialect::dateLiteral(const QVariant& value) const {
    if (m_product != Product::SQLite)
        return quotedDate(value);
    const std::optional<QDateTime> dt = readAsDate(value);
    if (!dt)
        return QStringLiteral("NULL");
    return QLatin1Char('\'') + dt->toString(kSqliteDateTime) + QLatin1Char('\'');
}

QString Dialect::quotedDate(const QVariant& value) const {
    return QuotDate(dateQuote(), value);
}

} // namespace tolva
