#include "db/Database.h"
#include "db/SqlTransaction.h"

#include "common/Fault.h"
#include "common/PasswordMask.h"
#include "db/ConnectionString.h"
#include "db/PostgresTarget.h"

#include <QAtomicInteger>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlRecord>

namespace tolva {

namespace {

QAtomicInteger<int> g_connectionCounter;

QString sqlErrorText(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text;
}

QString freeTdsDriver() {
    for (const char* path :
         {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so"})
        if (QFileInfo::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    return QStringLiteral("FreeTDS");
}

} // namespace

Fault Database::faultFrom(const QString& context, const QString& detail) {
    return Fault(Fault::kGeneric, detail.isEmpty() ? context : context + QStringLiteral(": ") + detail);
}

Database::Database() : m_name(QStringLiteral("tolva-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1))) {}

Database::~Database() {
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(m_name, false);
}

bool Database::isOpen() const {
    return QSqlDatabase::contains(m_name) && handle().isOpen();
}

void Database::dropPrepared() {
    m_prepared.clear();
}

void Database::close() {
    dropPrepared();
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = handle();
        db.close();
    }
}

void Database::open(const QString& connectionString) {
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
    m_provider.clear();
    m_dialect = Dialect();

    const ConnectionString cs(connectionString);
    const QString provider = cs.provider();
    if (provider.trimmed().isEmpty())
        throw Fault(Fault::kGeneric,
                    QStringLiteral("連線字串沒有指定 Provider: ") + maskPasswords(connectionString));
    const QString upper = provider.toUpper();

    QSqlDatabase db;
    if (upper.startsWith(QLatin1String("SQLOLEDB"))) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        QString server = cs.value({"Data Source", "Server", "Address", "Addr"});
        QString port = QStringLiteral("1433");
        const qsizetype comma = server.indexOf(QLatin1Char(','));
        if (comma >= 0) {
            port = server.mid(comma + 1).trimmed();
            server = server.left(comma).trimmed();
        }
        QString odbc = QStringLiteral("DRIVER={%1};SERVER=%2;PORT=%3;TDS_Version=7.4;ClientCharset=UTF-8")
                           .arg(freeTdsDriver(), server, port);
        const QString database = cs.value({"Initial Catalog", "Database"});
        if (!database.isEmpty())
            odbc += QStringLiteral(";DATABASE=") + database;
        odbc += QStringLiteral(";UID=") + cs.value({"User ID", "UID", "User"});
        odbc += QStringLiteral(";PWD=") + cs.value({"Password", "PWD"});
        db.setDatabaseName(odbc);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10;SQL_ATTR_CONNECTION_TIMEOUT=0"));
        m_provider = QStringLiteral("SQLOLEDB");
    } else if (upper.startsWith(QLatin1String("MSDASQL"))) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        db.setDatabaseName(cs.without({"Provider"}));
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10;SQL_ATTR_CONNECTION_TIMEOUT=0"));
        m_provider = QStringLiteral("MSDASQL");
    } else if (upper == QLatin1String("SQLITE")) {
        openSqlite(cs.value({"Data Source", "Database"}));
        return;
    } else if (upper == QLatin1String("POSTGRESQL") || upper == QLatin1String("PGSQL")) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        const PostgresTarget target = PostgresTarget::from(cs);
        db.setHostName(target.host);
        QString options = QStringLiteral("connect_timeout=%1").arg(target.connectTimeoutSeconds);
        if (target.port.contains(QLatin1Char(',')))
            options += QStringLiteral(";port=") + target.port;
        else if (!target.port.isEmpty())
            db.setPort(target.port.toInt());
        if (!target.targetSessionAttrs.isEmpty())
            options += QStringLiteral(";target_session_attrs=") + target.targetSessionAttrs;
        db.setDatabaseName(target.database);
        db.setUserName(target.user);
        db.setPassword(target.password);
        db.setConnectOptions(options);
        m_provider = QStringLiteral("PostgreSQL");
    } else if (upper.startsWith(QLatin1String("MICROSOFT.JET")) ||
               upper.startsWith(QLatin1String("MICROSOFT.ACE")) ||
               upper.startsWith(QLatin1String("MSDAORA"))) {
        throw Fault(Fault::kGeneric,
                    QStringLiteral("此平台沒有 %1 的資料庫驅動程式, 請改用 SQLite、PostgreSQL 或 SQL Server")
                        .arg(provider));
    } else {
        throw Fault(Fault::kGeneric, QStringLiteral("不支援的 Provider: ") + provider);
    }

    if (!db.isValid())
        throw faultFrom(QStringLiteral("無法載入資料庫驅動程式 ") + db.driverName(), QString());
    if (!db.open())
        throw faultFrom(QStringLiteral("無法開啟資料庫連線"), sqlErrorText(db.lastError()));
    m_dialect = Dialect::forProvider(m_provider);
}

void Database::openSqlite(const QString& file) {
    if (file.trimmed().isEmpty())
        throw Fault(Fault::kGeneric, QStringLiteral("SQLite 連線字串沒有 Data Source"));
    // Made here, exclusively, so this process knows the file is its own: a
    // file that another process created is never removed below.
    QFile own(file);
    const bool created = own.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    own.close();
    // Openers of a file that holds nothing yet take turns: switching the
    // journal and making the schema must not race another opener's first
    // reads ("database is locked", "disk I/O error").
    QLockFile setup(file + QStringLiteral(".setup"));
    if (created || QFileInfo(file).size() == 0)
        setup.lock();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(file);
    // Writers from other processes wait for their turn instead of failing.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
    if (!db.open()) {
        if (created)
            QFile::remove(file);
        throw faultFrom(QStringLiteral("無法開啟資料庫 ") + file, sqlErrorText(db.lastError()));
    }
    m_provider = QStringLiteral("SQLite");
    m_dialect = Dialect::forProvider(m_provider);
    try {
        // A file that holds no table yet is new, whoever made it: another
        // process may be making its schema right now.
        bool empty = true;
        if (!created) {
            try {
                empty = !hasRow(QStringLiteral("SELECT 1 FROM sqlite_master"));
            } catch (const Fault&) {
                // Read while another opener was setting the file up: look
                // again in turn.
            }
        }
        if (empty) {
            if (!setup.isLocked())
                setup.lock();
            createSqliteSchemaOnce();
        }
    } catch (...) {
        db.close();
        if (created)
            QFile::remove(file);
        throw;
    }
}

// Two processes may start on the same new file at once: the schema is made
// under the write lock, by whichever gets it first, and only into a file that
// holds no table yet.
void Database::createSqliteSchemaOnce() {
    query(QStringLiteral("PRAGMA journal_mode=WAL"));
    SqlTransaction tx(*this);
    if (!hasRow(QStringLiteral("SELECT 1 FROM sqlite_master")))
        runStatements(m_dialect.schemaFile());
    tx.commit();
}

void Database::runScript(const QString& resource) {
    SqlTransaction tx(*this);
    runStatements(resource);
    tx.commit();
}

QStringList Database::scriptStatements(const QString& resource) {
    QFile script(resource);
    if (!script.open(QIODevice::ReadOnly))
        throw Fault(Fault::kGeneric, QStringLiteral("找不到資料庫結構描述 ") + resource);
    QStringList statements;
    QString statement;
    for (const QString& line : QString::fromUtf8(script.readAll()).split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        statement += line + QLatin1Char('\n');
        if (line.trimmed().endsWith(QLatin1Char(';'))) {
            statements << statement.trimmed().chopped(1);
            statement.clear();
        }
    }
    if (!statement.trimmed().isEmpty())
        statements << statement.trimmed();
    return statements;
}

void Database::runStatements(const QString& resource) {
    for (const QString& sql : scriptStatements(resource))
        query(sql);
}

void Database::createSchema() {
    if (!m_dialect.schemaFile().isEmpty())
        runScript(m_dialect.schemaFile());
    else
        throw Fault(Fault::kGeneric, QStringLiteral("無法為此資料庫建立結構: ") + m_provider);
}

QSqlQuery Database::query(const QString& sql) {
    if (!isOpen())
        throw Fault(Fault::kGeneric, QStringLiteral("資料庫連線未開啟"));
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw faultFrom(QStringLiteral("SQL 執行失敗"), sqlErrorText(q.lastError()));
    return q;
}

int Database::execute(const QString& sql) {
    return query(sql).numRowsAffected();
}

bool Database::hasRow(const QString& sql) {
    return query(sql).next();
}

bool Database::hasTable(const QString& table) const {
    return handle().tables().contains(table, Qt::CaseInsensitive);
}

bool Database::hasColumn(const QString& table, const QString& column) {
    // The columns of a result that reads no row, the same on every driver
    // (the driver's table record is empty on PostgreSQL).
    return query(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1 = 0"))
               .record()
               .indexOf(column) >= 0;
}

qint64 Database::lastIdentity() {
    if (m_dialect.identityQuery().isEmpty())
        throw Fault(Fault::kGeneric, QStringLiteral("此資料庫無法取得新增記錄的序號"));
    QSqlQuery q = query(m_dialect.identityQuery());
    if (!q.next())
        throw Fault(Fault::kGeneric, QStringLiteral("無法取得新增記錄的序號"));
    return q.value(0).toString().toLongLong();
}

QSqlQuery& Database::prepared(const QString& sql) {
    if (!isOpen())
        throw Fault(Fault::kGeneric, QStringLiteral("資料庫連線未開啟"));
    auto found = m_prepared.find(sql);
    if (found != m_prepared.end())
        return *found->second;
    auto q = std::make_unique<QSqlQuery>(handle());
    q->setForwardOnly(true);
    if (!q->prepare(sql))
        throw faultFrom(QStringLiteral("SQL 準備失敗"), sqlErrorText(q->lastError()));
    return *m_prepared.emplace(sql, std::move(q)).first->second;
}

QSqlQuery& Database::runPrepared(const QString& sql, const QVariantList& values) {
    QSqlQuery& q = prepared(sql);
    for (qsizetype i = 0; i < values.size(); ++i)
        q.bindValue(static_cast<int>(i), values.at(i));
    if (!q.exec())
        throw faultFrom(QStringLiteral("SQL 執行失敗"), sqlErrorText(q.lastError()));
    return q;
}

void Database::begin() {
    if (!isOpen())
        throw Fault(Fault::kGeneric, QStringLiteral("資料庫連線未開啟"));
    if (m_dialect.statementTransactions()) {
        query(m_dialect.beginStatement());
        return;
    }
    QSqlDatabase db = handle();
    if (!db.transaction())
        throw faultFrom(QStringLiteral("無法開始交易"), sqlErrorText(db.lastError()));
}

void Database::commit() {
    if (m_dialect.statementTransactions()) {
        query(QStringLiteral("COMMIT"));
        return;
    }
    QSqlDatabase db = handle();
    if (!db.commit())
        throw faultFrom(QStringLiteral("無法完成交易"), sqlErrorText(db.lastError()));
}

void Database::rollback() {
    if (!isOpen())
        return;
    if (m_dialect.statementTransactions()) {
        QSqlQuery q(handle());
        q.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    QSqlDatabase db = handle();
    db.rollback();
}

SqlTransaction::~SqlTransaction() {
    if (!m_done)
        m_db.rollback();
}

void SqlTransaction::commit() {
    m_db.commit();
    m_done = true;
}

} // namespace tolva
