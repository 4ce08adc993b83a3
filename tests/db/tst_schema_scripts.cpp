// The schema scripts of SQLite, PostgreSQL and SQL Server (the last is never
// run here) define the same tables with the same columns, and the same views.
#include "db/Database.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace tolva;

namespace {

// Table (or view) name, upper-cased, to its column names, upper-cased; a view
// has no columns listed.
using Schema = QMap<QString, QSet<QString>>;

const QStringList kScripts{QStringLiteral(":/db/sqlite.sql"), QStringLiteral(":/db/postgresql.sql"),
                           QStringLiteral(":/db/sqlserver.sql")};

QString bareName(QString name) {
    name.remove(QLatin1Char('"')).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    return name.toUpper();
}

// The parts of a column list split at its top-level commas, so that
// DECIMAL(18,4) or IDENTITY(1,1) stays whole.
QStringList topLevelParts(const QString& list) {
    QStringList parts;
    QString part;
    int depth = 0;
    for (const QChar c : list) {
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        if (c == QLatin1Char(',') && depth == 0) {
            parts << part.trimmed();
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.trimmed().isEmpty())
        parts << part.trimmed();
    return parts;
}

Schema schemaOf(const QStringList& statements) {
    static const QRegularExpression table(QStringLiteral(R"(^CREATE\s+TABLE\s+(\S+)\s*\((.*)\)\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression view(QStringLiteral(R"(^CREATE\s+VIEW\s+(\S+))"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QSet<QString> notColumns{QStringLiteral("CONSTRAINT"), QStringLiteral("PRIMARY"),
                                          QStringLiteral("UNIQUE"), QStringLiteral("CHECK"),
                                          QStringLiteral("FOREIGN")};
    Schema schema;
    for (const QString& statement : statements) {
        if (const QRegularExpressionMatch v = view.match(statement); v.hasMatch()) {
            schema.insert(QStringLiteral("VIEW ") + bareName(v.captured(1)), {});
            continue;
        }
        const QRegularExpressionMatch t = table.match(statement);
        if (!t.hasMatch())
            continue;
        QSet<QString> columns;
        for (const QString& part : topLevelParts(t.captured(2))) {
            const QString first = bareName(part.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0));
            if (!notColumns.contains(first))
                columns.insert(first);
        }
        schema.insert(bareName(t.captured(1)), columns);
    }
    return schema;
}

// What one schema has that the other lacks, as "TABLE" or "TABLE.COLUMN",
// each with the name of the schema that has it.
QStringList differences(const Schema& a, const QString& nameA, const Schema& b, const QString& nameB) {
    QStringList found;
    const auto oneWay = [&](const Schema& has, const QString& hasName, const Schema& other) {
        for (auto it = has.cbegin(); it != has.cend(); ++it) {
            if (!other.contains(it.key())) {
                found << it.key() + QStringLiteral(" only in ") + hasName;
                continue;
            }
            for (const QString& column : it.value())
                if (!other.value(it.key()).contains(column))
                    found << it.key() + QLatin1Char('.') + column + QStringLiteral(" only in ") + hasName;
        }
    };
    oneWay(a, nameA, b);
    oneWay(b, nameB, a);
    found.sort();
    return found;
}

} // namespace

class TestSchemaScripts : public QObject {
    Q_OBJECT

private slots:
    void scriptsDefineTheSameTablesAndColumns() {
        const Schema first = schemaOf(Database::scriptStatements(kScripts.first()));
        QVERIFY(first.contains(QStringLiteral("CUST")));
        QVERIFY(first.value(QStringLiteral("VCARDLOG")).contains(QStringLiteral("POSTKEY")));
        QVERIFY(first.contains(QStringLiteral("VIEW VIEWORDERI")));
        for (const QString& script : kScripts.mid(1)) {
            const QStringList found =
                differences(first, kScripts.first(), schemaOf(Database::scriptStatements(script)), script);
            QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
        }
    }

    // The comparison itself sees a column that one script lacks, and a
    // column written in another letter case is the same column.
    void aMissingColumnIsFound() {
        const QStringList full{
            QStringLiteral("CREATE TABLE VCardLog (\n RNo INT IDENTITY(1,1) PRIMARY KEY,\n TxnAmt "
                           "DECIMAL(18,4),\n AuthCode NVARCHAR(20),\n CONSTRAINT X UNIQUE (RNo)\n)")};
        const QStringList lacking{QStringLiteral(
            "CREATE TABLE vcardlog (\n rno INTEGER PRIMARY KEY AUTOINCREMENT,\n txnamt NUMERIC\n)")};
        QCOMPARE(differences(schemaOf(full), QStringLiteral("a"), schemaOf(lacking), QStringLiteral("b")),
                 QStringList{QStringLiteral("VCARDLOG.AUTHCODE only in a")});
        QCOMPARE(differences(schemaOf(full), QStringLiteral("a"), schemaOf({}), QStringLiteral("b")),
                 QStringList{QStringLiteral("VCARDLOG only in a")});
    }
};

QTEST_GUILESS_MAIN(TestSchemaScripts)
#include "tst_schema_scripts.moc"
