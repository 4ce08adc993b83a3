#include "server/KeySchema.h"

#include "common/Fault.h"
#include "db/Database.h"
#include "db/SqlTransaction.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace memberd {

namespace {

const QString kKeyTable = QStringLiteral("PostKey");
const QStringList kLogColumns = {QStringLiteral("PostKey"), QStringLiteral("AuthCode")};

QString createStatement(const QStringList& statements, const QString& table) {
    const QString head = QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (");
    for (const QString& s : statements)
        if (s.startsWith(head, Qt::CaseInsensitive))
            return s;
    throw tolva::Fault(tolva::Fault::kGeneric, QStringLiteral("資料庫結構描述沒有 ") + table);
}

// "PostKey VARCHAR(100)": the column's line in the table's definition.
QString columnDefinition(const QString& create, const QString& column) {
    for (QString line : create.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.endsWith(QLatin1Char(',')))
            line.chop(1);
        if (line.section(QLatin1Char(' '), 0, 0).compare(column, Qt::CaseInsensitive) == 0)
            return line;
    }
    throw tolva::Fault(tolva::Fault::kGeneric, QStringLiteral("資料庫結構描述沒有欄位 ") + column);
}

} // namespace

bool KeySchema::present(tolva::Database& db) {
    if (!db.hasTable(kKeyTable))
        return false;
    for (const QString& column : kLogColumns)
        if (!db.hasColumn(QStringLiteral("VCardLog"), column))
            return false;
    // The columns may be there without the right to use them.
    QSqlQuery probe(db.handle());
    return probe.exec(QStringLiteral("SELECT PostKey, Outcome FROM PostKey WHERE 1 = 0")) &&
           probe.exec(QStringLiteral("SELECT PostKey, AuthCode FROM VCardLog WHERE 1 = 0"));
}

void KeySchema::upgrade(tolva::Database& db, QString& done) {
    done.clear();
    const QString resource = db.dialect().schemaFile();
    if (resource.isEmpty())
        throw tolva::Fault(tolva::Fault::kGeneric,
                           QStringLiteral("無法為此資料庫建立結構: ") + db.providerName());
    const QStringList statements = tolva::Database::scriptStatements(resource);
    QStringList added;
    tolva::SqlTransaction tx(db);
    if (!db.hasTable(kKeyTable)) {
        db.execute(createStatement(statements, kKeyTable));
        added << QStringLiteral("table PostKey");
    }
    const QString logTable = createStatement(statements, QStringLiteral("VCardLog"));
    for (const QString& column : kLogColumns) {
        if (db.hasColumn(QStringLiteral("VCardLog"), column))
            continue;
        db.execute(db.dialect().addColumn(QStringLiteral("VCardLog"), columnDefinition(logTable, column)));
        added << QStringLiteral("VCardLog.") + column;
    }
    tx.commit();
    done = added.join(QStringLiteral(", "));
}

} // namespace memberd
