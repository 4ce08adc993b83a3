// Statements prepared once for many desks: which literals become parameters
// (LiteralParameters) and which prepared statements a connection keeps
// (PgStatementCache).
#include "server/LiteralParameters.h"
#include "server/PgStatementCache.h"

#include <QTest>

using namespace memberd;

namespace {
QStringList texts(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}
} // namespace

class TestPreparedStatements : public QObject {
    Q_OBJECT

private slots:
    void literalsBecomeParameters_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("card query") << "Select * From CUST Where CustNo = 'A0001'"
                                    << "Select * From CUST Where CustNo = $1" << texts({"A0001"});
        QTest::newRow("doubled quote, in list, concatenation")
            << "SELECT CustNo FROM CUST WHERE CustName IN ('It''s', 'b') OR Tel1 = 'x' || 'y'"
            << "SELECT CustNo FROM CUST WHERE CustName IN ($1, $2) OR Tel1 = $3 || $4"
            << texts({"It's", "b", "x", "y"});
        QTest::newRow("insert values, numbers stay")
            << "INSERT INTO VCardLog (CardNo, TxnAmt, Remark) VALUES ('A1', 30, '第一筆')"
            << "INSERT INTO VCardLog (CardNo, TxnAmt, Remark) VALUES ($1, 30, $2)" << texts({"A1", "第一筆"});
        QTest::newRow("update")
            << "UPDATE CUST SET CustName='王',Tel1='1' WHERE CustNo='A1' AND TBonusAmt >= 5"
            << "UPDATE CUST SET CustName=$1,Tel1=$2 WHERE CustNo=$3 AND TBonusAmt >= 5"
            << texts({"王", "1", "A1"});
        QTest::newRow("typed literals and ESCAPE stay")
            << "SELECT CustNo FROM CUST WHERE IsuDate > DATE '2026-01-01' AND CustName LIKE 'a!%' ESCAPE '!'"
            << "SELECT CustNo FROM CUST WHERE IsuDate > DATE '2026-01-01' AND CustName LIKE $1 ESCAPE '!'"
            << texts({"a!%"});
        QTest::newRow("continued literal and ORDER BY stay")
            << "SELECT 'a'\n'b' FROM CUST ORDER BY 'c'"
            << "SELECT 'a'\n'b' FROM CUST ORDER BY 'c'" << QStringList();
        QTest::newRow("a literal right before a word stays")
            << "SELECT CustNo FROM CUST WHERE CustNo='a'and Tel1 = 'b'"
            << "SELECT CustNo FROM CUST WHERE CustNo='a'and Tel1 = $1" << texts({"b"});
    }
    void literalsBecomeParameters() {
        QFETCH(QString, sql);
        QFETCH(QString, text);
        QFETCH(QStringList, values);
        const LiteralParameters split = LiteralParameters::split(sql);
        QVERIFY(split.preparable);
        QCOMPARE(split.text, text);
        QCOMPARE(split.values, values);
        QCOMPARE(split.joined(), sql);
    }

    // Texts that are not prepared at all run as they are.
    void otherStatementsAreNotPrepared() {
        for (const char* sql : {"SET statement_timeout = '5s'", "SHOW DateStyle", "CREATE TABLE x (a text)",
                                "SELECT E'a' FROM CUST", "SELECT $$a$$ FROM CUST", "SELECT 'a' -- c",
                                "SELECT 'open FROM CUST", ""}) {
            const LiteralParameters split = LiteralParameters::split(QString::fromUtf8(sql));
            QVERIFY2(!split.preparable, sql);
            QVERIFY(split.values.isEmpty());
            QCOMPARE(split.joined(), QString::fromUtf8(sql));
        }
    }

    // A text is prepared the second time it is seen; the least recently used
    // goes when the cache is full, and its name is handed back to be dropped.
    void cacheKeepsTheMostRecentlyUsed() {
        PgStatementCache cache(2);
        std::vector<QByteArray> dropped;
        QCOMPARE(cache.use("a", dropped).uses, 1);
        PgStatementCache::Statement& a = cache.use("a", dropped);
        QCOMPARE(a.uses, 2);
        const QByteArray name = cache.newName();
        a.state = PgStatementCache::State::Prepared;
        a.name = name;
        cache.use("b", dropped);
        cache.use("a", dropped); // a is the most recent again
        cache.use("c", dropped); // b goes: it was only seen, nothing to drop
        QVERIFY(dropped.empty());
        QCOMPARE(cache.size(), 2);
        cache.use("d", dropped); // a goes, and its prepared statement with it
        QCOMPARE(dropped, std::vector<QByteArray>{name});
        cache.markFailed("d");
        QCOMPARE(cache.use("d", dropped).state, PgStatementCache::State::Failed);
        cache.clear();
        QCOMPARE(cache.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPreparedStatements)
#include "tst_preparedstatements.moc"
