// What differs between database products, read from the one Dialect of a
// provider name: the product, its date forms and its locked read.
#include "db/Dialect.h"

#include <QTest>

using namespace tolva;

Q_DECLARE_METATYPE(tolva::Dialect::Product)

class TestDialect : public QObject {
    Q_OBJECT

private slots:
    void productOfAProviderName_data() {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<Dialect::Product>("product");
        QTest::newRow("sql server") << "SQLOLEDB.1" << Dialect::Product::SqlServer;
        QTest::newRow("odbc") << "MSDASQL" << Dialect::Product::Odbc;
        QTest::newRow("access") << "Microsoft.Jet.OLEDB.4.0" << Dialect::Product::Access;
        QTest::newRow("oracle") << "MSDAORA.1" << Dialect::Product::Oracle;
        QTest::newRow("sqlite, any case") << "sqlite" << Dialect::Product::SQLite;
        QTest::newRow("postgresql") << "PostgreSQL" << Dialect::Product::PostgreSQL;
        QTest::newRow("unlisted") << "Other" << Dialect::Product::Unknown;
        QTest::newRow("none") << "" << Dialect::Product::Unknown;
    }
    void productOfAProviderName() {
        QFETCH(QString, provider);
        QFETCH(Dialect::Product, product);
        const Dialect d = Dialect::forProvider(provider);
        QCOMPARE(d.product(), product);
        QCOMPARE(d.known(), product != Dialect::Product::Unknown);
    }

    // The local literal and the link's form of one date: SQLite keeps the
    // form its own date functions read, the link carries the slash form
    // between the product's quote.
    void dateForms_data() {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("sqlite") << "SQLite"
                                << "'2005-03-07 18:42:05'"
                                << "'2005/03/07 18:42:05'";
        QTest::newRow("postgresql") << "PostgreSQL"
                                    << "'2005/03/07 18:42:05'"
                                    << "'2005/03/07 18:42:05'";
        QTest::newRow("access") << "Microsoft.Jet"
                                << "#2005/03/07 18:42:05#"
                                << "#2005/03/07 18:42:05#";
        QTest::newRow("oracle") << "MSDAORA"
                                << "TO_DATE('2005/03/07 18:42:05','YYYY/MM/DD HH24:MI:SS')"
                                << "TO_DATE('2005/03/07 18:42:05','YYYY/MM/DD HH24:MI:SS')";
        // Before any connection: apostrophes, as the desk always quoted.
        QTest::newRow("unknown") << "Other"
                                 << "'2005/03/07 18:42:05'"
                                 << "'2005/03/07 18:42:05'";
    }
    void dateForms() {
        QFETCH(QString, provider);
        const Dialect d = Dialect::forProvider(provider);
        const QDateTime at(QDate(2005, 3, 7), QTime(18, 42, 5));
        QTEST(d.dateLiteral(at), "literal");
        QTEST(d.quotedDate(at), "quoted");
        QCOMPARE(d.dateLiteral(QStringLiteral("2005/02/30")), QStringLiteral("NULL"));
        QCOMPARE(d.quotedDate(QVariant()), QStringLiteral("NULL"));
    }

    void writingAndLocking() {
        const Dialect sqlite(Dialect::Product::SQLite);
        const Dialect postgres(Dialect::Product::PostgreSQL);
        const Dialect sqlServer(Dialect::Product::SqlServer);
        const QString where = QStringLiteral(" WHERE NoCode = 'A'");
        QCOMPARE(sqlite.lockedSelect(QStringLiteral("xxNO"), where),
                 QStringLiteral("Select * From xxNO WHERE NoCode = 'A'"));
        QCOMPARE(postgres.lockedSelect(QStringLiteral("xxNO"), where),
                 QStringLiteral("Select * From xxNO WHERE NoCode = 'A' FOR UPDATE"));
        QCOMPARE(sqlServer.lockedSelect(QStringLiteral("xxNO"), where),
                 QStringLiteral("Select * From xxNO WITH (UPDLOCK, ROWLOCK) WHERE NoCode = 'A'"));
        QVERIFY(sqlite.statementTransactions() && sqlite.singleWriter());
        QCOMPARE(sqlite.beginStatement(), QStringLiteral("BEGIN IMMEDIATE"));
        QVERIFY(!postgres.statementTransactions() && !postgres.singleWriter());
        QVERIFY(postgres.onConflictDoNothing() && !sqlServer.onConflictDoNothing());
        QCOMPARE(sqlServer.keyCheckHint(), QStringLiteral(" WITH (UPDLOCK, HOLDLOCK)"));
        QCOMPARE(Dialect().serverDate(), QString());
        QCOMPARE(Dialect().identityQuery(), QString());
        QCOMPARE(Dialect().schemaFile(), QString());
    }
};

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
