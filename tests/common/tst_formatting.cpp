// SQL literals, dates in the calendar styles, and the number texts of
// amounts.
#include "common/Formatting.h"
#include "db/Database.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

class TestFormatting : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Database m_db;

    static Globals withCalendar(const QString& calendar, const QString& sep = QStringLiteral("/")) {
        Globals g;
        g.gCalendar = calendar;
        g.gDateSep = sep;
        return g;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_db.open(QStringLiteral("Provider=SQLite;Data Source=") + m_dir.filePath(QStringLiteral("q.db")));
    }

    void quotStrLiterals_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("stored"); // what the database gives back
        QTest::newRow("apostrophe, trailing space") << QVariant(QStringLiteral("O'Neil ")) << "'O''Neil'"
                                                    << "O'Neil";
        QTest::newRow("only apostrophes") << QVariant(QStringLiteral("''")) << "''''''"
                                          << "''";
        QTest::newRow("two spaces") << QVariant(QStringLiteral("  ")) << "''"
                                    << "";
        QTest::newRow("null") << QVariant() << "''"
                              << "";
        QTest::newRow("zero") << QVariant(0) << "'0'"
                              << "0";
        QTest::newRow("double") << QVariant(12.5) << "'12.5'"
                                << "12.5";
        QTest::newRow("whole double") << QVariant(5250.0) << "'5250'"
                                      << "5250";
        QTest::newRow("tab and line breaks stay")
            << QVariant(QStringLiteral(" \ta\r\nb\t ")) << "'\ta\r\nb\t'"
            << "\ta\r\nb\t";
        QTest::newRow("chinese with apostrophe") << QVariant(QStringLiteral("王'小明")) << "'王''小明'"
                                                 << "王'小明";
        QTest::newRow("statement in a value")
            << QVariant(QStringLiteral("x'); DROP TABLE CUST; --")) << "'x''); DROP TABLE CUST; --'"
            << "x'); DROP TABLE CUST; --";
    }
    void quotStrLiterals() {
        QFETCH(QVariant, value);
        QFETCH(QString, literal);
        QFETCH(QString, stored);
        QCOMPARE(QuotStr(value), literal);
        // The literal must survive a real statement unchanged.
        QSqlQuery q = m_db.query(QStringLiteral("SELECT ") + QuotStr(value));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), stored);
        QVERIFY(m_db.query(QStringLiteral("SELECT count(*) FROM CUST")).next());
    }

    void readsAsDate_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QDateTime>("expected"); // invalid: not a date
        const QDateTime none;
        QTest::newRow("slashes") << QVariant(QStringLiteral("2005/03/07"))
                                 << QDateTime(QDate(2005, 3, 7), QTime(0, 0));
        QTest::newRow("hyphens with seconds") << QVariant(QStringLiteral("2005-03-07 18:42:05"))
                                              << QDateTime(QDate(2005, 3, 7), QTime(18, 42, 5));
        QTest::newRow("two-digit year, minutes")
            << QVariant(QStringLiteral("05/3/7 08:15")) << QDateTime(QDate(2005, 3, 7), QTime(8, 15));
        QTest::newRow("two-digit year 94")
            << QVariant(QStringLiteral("94/03/07")) << QDateTime(QDate(1994, 3, 7), QTime(0, 0));
        QTest::newRow("date value") << QVariant(QDate(2011, 1, 5))
                                    << QDateTime(QDate(2011, 1, 5), QTime(0, 0));
        QTest::newRow("30 February") << QVariant(QStringLiteral("2005/02/30")) << none;
        QTest::newRow("hour 24") << QVariant(QStringLiteral("2005/02/03 24:00")) << none;
        QTest::newRow("mixed separators") << QVariant(QStringLiteral("2005/03-07")) << none;
        QTest::newRow("digits only") << QVariant(QStringLiteral("20050307")) << none;
        QTest::newRow("garbage") << QVariant(QStringLiteral("tomorrow")) << none;
        QTest::newRow("empty") << QVariant(QString()) << none;
        QTest::newRow("null") << QVariant() << none;
        QTest::newRow("number") << QVariant(38418) << none;
    }
    void readsAsDate() {
        QFETCH(QVariant, value);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> got = readAsDate(value);
        QCOMPARE(got.has_value(), expected.isValid());
        if (got)
            QCOMPARE(*got, expected);
    }

    void quotDateForms() {
        const QString quote = QStringLiteral("'");
        const QDateTime at(QDate(2005, 3, 7), QTime(18, 42, 5));
        QCOMPARE(QuotDate(quote, at), QStringLiteral("'2005/03/07 18:42:05'"));
        QCOMPARE(QuotDate(quote, QStringLiteral("2005-3-7")), QStringLiteral("'2005/03/07 00:00:00'"));
        QCOMPARE(QuotDate(quote, QStringLiteral("no date")), QStringLiteral("NULL"));
        QCOMPARE(QuotDate(quote, QVariant()), QStringLiteral("NULL"));
        const QString oracle = QStringLiteral("TO_DATE('2005/03/07 18:42:05','YYYY/MM/DD HH24:MI:SS')");
        QCOMPARE(QuotDate(QStringLiteral("#"), at), QStringLiteral("#2005/03/07 18:42:05#"));
        QCOMPARE(QuotDate(QStringLiteral("TO_DATE"), at), oracle);
    }

    void displayStyles_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("shown");
        const QDate d2005(2005, 3, 7);
        const QDate d2011(2011, 1, 5);
        QTest::newRow("YYYY/MM/DD") << d2005 << "YYYY/MM/DD"
                                    << "/"
                                    << "2005/03/07";
        QTest::newRow("YY/MM/DD") << d2005 << "YY/MM/DD"
                                  << "/"
                                  << "05/03/07";
        QTest::newRow("CC/MM/DD 2005") << d2005 << "CC/MM/DD"
                                       << "/"
                                       << "94/03/07";
        QTest::newRow("CC/MM/DD 2011") << d2011 << "CC/MM/DD"
                                       << "/"
                                       << "100/01/05";
        QTest::newRow("CCMMDD 2005") << d2005 << "CCMMDD"
                                     << "/"
                                     << "940307";
        QTest::newRow("CCMMDD 2011") << d2011 << "CCMMDD"
                                     << "/"
                                     << "1000105";
        QTest::newRow("CCMMDD 1915") << QDate(1915, 6, 1) << "CCMMDD"
                                     << "/"
                                     << "040601";
        QTest::newRow("YYMMDD") << d2005 << "YYMMDD"
                                << "/"
                                << "050307";
        QTest::newRow("YYYY/MM") << d2005 << "YYYY/MM"
                                 << "/"
                                 << "2005/03";
        QTest::newRow("hyphen separator") << d2005 << "YYYY/MM/DD"
                                          << "-"
                                          << "2005-03-07";
        QTest::newRow("YYYY/MM ignores the separator") << d2005 << "YYYY/MM"
                                                       << "-"
                                                       << "2005/03";
        QTest::newRow("ROC with hyphen") << d2011 << "CC/MM/DD"
                                         << "-"
                                         << "100-01-05";
        QTest::newRow("lower-case style is a pattern") << d2005 << "yyyy.mm.dd"
                                                       << "/"
                                                       << "2005.03.07";
        QTest::newRow("pattern without zeros") << d2005 << "d/m/yy"
                                               << "/"
                                               << "7/3/05";
        QTest::newRow("pattern with ROC year") << d2011 << "民國CCC年MM月"
                                               << "/"
                                               << "民國100年01月";
    }
    void displayStyles() {
        QFETCH(QDate, date);
        QFETCH(QString, style);
        QFETCH(QString, sep);
        QFETCH(QString, shown);
        const Globals g = withCalendar(style, sep);
        QCOMPARE(DBDateDisp(g, date), shown);
        QCOMPARE(DBDateDisp(withCalendar(QStringLiteral("YYYY/MM/DD"), sep), QDateTime(date, QTime(23, 59)),
                            style),
                 shown);
    }

    void displayOfNonDates() {
        const Globals g;
        QCOMPARE(DBDateDisp(g, QString()), QString());
        QCOMPARE(DBDateDisp(g, QStringLiteral("2005/02/30")), QString());
        QCOMPARE(DBDateDisp(g, QVariant()), QString());
    }

    // What an operator sees can be typed back and saved, in every style that
    // saves, before and after the ROC year gets its third digit.
    void calendarRoundTrip_data() {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QDate>("date");
        const QList<QDate> dates = {QDate(2000, 1, 1), QDate(2005, 3, 7),  QDate(2010, 12, 31),
                                    QDate(2011, 1, 1), QDate(2012, 2, 29), QDate(2024, 11, 30)};
        for (const char* style : {"CC/MM/DD", "CCMMDD", "YYYY/MM/DD", "YY/MM/DD"})
            for (const QDate& d : dates)
                QTest::newRow(
                    qPrintable(QString::fromLatin1(style) + QLatin1Char(' ') + d.toString(Qt::ISODate)))
                    << QString::fromLatin1(style) << d;
    }
    void calendarRoundTrip() {
        QFETCH(QString, style);
        QFETCH(QDate, date);
        const Globals g = withCalendar(style);
        const QString shown = DBDateDisp(g, date);
        const QString saved = DBDateSave(g, shown);
        QCOMPARE(saved, date.toString(QStringLiteral("yyyy/MM/dd")));
    }

    void saveRejectsAndAccepts_data() {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("ROC dots") << "CC/MM/DD"
                                  << "94.03.07"
                                  << "2005/03/07";
        QTest::newRow("ROC leading space") << "CC/MM/DD"
                                           << " 94/03/07"
                                           << "";
        QTest::newRow("ROC trailing space") << "CC/MM/DD"
                                            << "94/03/07 "
                                            << "";
        QTest::newRow("ROC 30 February") << "CC/MM/DD"
                                         << "94/02/30"
                                         << "";
        QTest::newRow("ROC three digits") << "CC/MM/DD"
                                          << "100/01/05"
                                          << "2011/01/05";
        QTest::newRow("ROC three digits, 29 Feb 2011") << "CC/MM/DD"
                                                       << "100/02/29"
                                                       << "";
        QTest::newRow("ROC too short") << "CC/MM/DD"
                                       << "94/3/7"
                                       << "";
        QTest::newRow("ROC too long") << "CC/MM/DD"
                                      << "1000/01/05"
                                      << "";
        QTest::newRow("ROC digits six") << "CCMMDD"
                                        << "940307"
                                        << "2005/03/07";
        QTest::newRow("ROC digits seven") << "CCMMDD"
                                          << "1130229"
                                          << "2024/02/29";
        QTest::newRow("ROC digits five") << "CCMMDD"
                                         << "94037"
                                         << "";
        QTest::newRow("ROC digits with slash") << "CCMMDD"
                                               << "94/0307"
                                               << "";
        QTest::newRow("ROC digits bad month") << "CCMMDD"
                                              << "941307"
                                              << "";
        QTest::newRow("ISO kept as typed") << "YYYY/MM/DD"
                                           << "2005-03-07"
                                           << "2005-03-07";
        QTest::newRow("ISO short month") << "YYYY/MM/DD"
                                         << "2005/3/7"
                                         << "";
        QTest::newRow("ISO invalid") << "YYYY/MM/DD"
                                     << "2005/02/30"
                                     << "";
        QTest::newRow("two-digit year") << "YY/MM/DD"
                                        << "05/03/07"
                                        << "2005/03/07";
        QTest::newRow("two-digit year garbage") << "YY/MM/DD"
                                                << "ab/cd/ef"
                                                << "";
        QTest::newRow("YYMMDD does not save") << "YYMMDD"
                                              << "050307"
                                              << "";
        QTest::newRow("empty") << "CC/MM/DD"
                               << ""
                               << "";
    }
    void saveRejectsAndAccepts() {
        QFETCH(QString, style);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QCOMPARE(DBDateSave(withCalendar(style), typed), saved);
    }

    void numbersOfAmounts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("plain");
        QTest::newRow("thousands separator") << "1,050" << 1.0 << "1";
        QTest::newRow("letters") << "abc" << 0.0 << "0";
        QTest::newRow("empty") << "" << 0.0 << "0";
        QTest::newRow("blanks and tail") << " 12.5x" << 12.5 << "12.5";
        QTest::newRow("negative") << "-250" << -250.0 << "-250";
        QTest::newRow("inner blanks") << "1 000" << 1000.0 << "1000";
        QTest::newRow("second point stops") << "1.2.3" << 1.2 << "1.2";
        QTest::newRow("exponent") << "5.25E3" << 5250.0 << "5250";
        QTest::newRow("exponent without digits") << "12e" << 12.0 << "12";
        QTest::newRow("sign only") << "-" << 0.0 << "0";
        QTest::newRow("full-width digits") << "１２" << 0.0 << "0";
        QTest::newRow("overflow") << "1e999" << 0.0 << "0";
        QTest::newRow("small") << "0.0000001" << 1e-7 << "0.0000001";
        QTest::newRow("big") << "123456789012345678" << 123456789012345678.0 << "123456789012346000";
    }
    void numbersOfAmounts() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, plain);
        QCOMPARE(numericValue(text), value);
        QCOMPARE(plainNumber(numericValue(text)), plain);
    }

    void plainNumbers() {
        QCOMPARE(plainNumber(0.1 + 0.2), QStringLiteral("0.3"));
        QCOMPARE(plainNumber(-0.0), QStringLiteral("0"));
        QCOMPARE(plainNumber(-0.25), QStringLiteral("-0.25"));
        QCOMPARE(plainNumber(1e20), QStringLiteral("100000000000000000000"));
        QCOMPARE(plainNumber(10800), QStringLiteral("10800"));
        QCOMPARE(plainNumber(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("0"));
        QCOMPARE(plainNumber(std::numeric_limits<double>::infinity()), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestFormatting)
#include "tst_formatting.moc"
