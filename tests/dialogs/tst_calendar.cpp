// The calendar: the month arithmetic on its own, then the real window driven
// by touches while its modal showing runs.
#include "common/Globals.h"
#include "dialogs/CalendarMonth.h"
#include "dialogs/CalendarWindow.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/WidgetDialogs.h"
#include "support/FixedClock.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

using namespace tolva;

namespace {

const QString kName = QStringLiteral("frmFgDate");

// The day numbers of one week row as drawn, "" for empty cells.
QStringList weekRow(const CalendarMonth& m, int row) {
    QStringList out;
    for (int c = 0; c < CalendarMonth::kColumns; ++c)
        out << m.cellText(row, c);
    return out;
}

QStringList cells(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* t : texts)
        out << QString::fromLatin1(t);
    return out;
}

void touchDay(QWidget* window, int day) {
    auto* grid = window->findChild<QTableWidget*>(QStringLiteral("fgCal"));
    for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < grid->columnCount(); ++c)
            if (grid->item(r, c) && grid->item(r, c)->text() == QString::number(day)) {
                const QRect cell = grid->visualRect(grid->model()->index(r, c));
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
                return;
            }
    QFAIL("day not drawn");
}

} // namespace

class TestCalendar : public QObject {
    Q_OBJECT

private slots:
    void monthsStartInTheColumnOfTheirFirstWeekday() {
        // March 2026 begins on a Sunday, August 2026 on a Saturday.
        const CalendarMonth march(QDate(2026, 3, 14));
        QCOMPARE(march.firstColumn(), 0);
        QCOMPARE(weekRow(march, 1), cells({"1", "2", "3", "4", "5", "6", "7"}));
        QCOMPARE(weekRow(march, 5), cells({"29", "30", "31", "", "", "", ""}));
        QCOMPARE(march.weekRows(), 5);

        const CalendarMonth august(QDate(2026, 8, 1));
        QCOMPARE(august.firstColumn(), 6);
        QCOMPARE(weekRow(august, 1), cells({"", "", "", "", "", "", "1"}));
        QCOMPARE(weekRow(august, 6), cells({"30", "31", "", "", "", "", ""}));
        QCOMPARE(august.rowOf(31), 6);
        QCOMPARE(august.columnOf(31), 1);
        QCOMPARE(august.dayAt(0, 6), 0); // the header row holds no day
        QCOMPARE(august.dayAt(1, 5), 0); // before day 1
        QCOMPARE(august.tag(), QStringLiteral("2026/08"));
        QCOMPARE(august.heading(), QStringLiteral("2026年 8月"));
        QCOMPARE(CalendarMonth(QDate(2026, 3, 1)).heading(), QStringLiteral("2026年 3月"));
    }

    void fiveOrSixWeekRows_data() {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<int>("rows");
        QTest::newRow("31 days from a Friday") << QDate(2026, 5, 1) << 6;
        QTest::newRow("31 days from a Saturday") << QDate(2026, 8, 1) << 6;
        QTest::newRow("30 days from a Saturday") << QDate(2025, 11, 1) << 6;
        QTest::newRow("30 days from a Friday") << QDate(2026, 10, 1) << 5;
        QTest::newRow("31 days from a Thursday") << QDate(2026, 1, 1) << 5;
        QTest::newRow("February in four rows") << QDate(2026, 2, 1) << 5;
        QTest::newRow("leap February from a Saturday") << QDate(2020, 2, 1) << 5;
    }
    void fiveOrSixWeekRows() {
        QFETCH(QDate, month);
        QFETCH(int, rows);
        const CalendarMonth m(month);
        QCOMPARE(m.weekRows(), rows);
        // The rows share the space below the header, remainder dropped.
        QCOMPARE(m.weekRowHeight(640, 40), 600 / rows);
    }

    void stepsKeepTheDayOrTakeTheMonthsLast() {
        QCOMPARE(CalendarMonth::step(QStringLiteral("2026/01"), 31, 1), QDate(2026, 2, 28));
        QCOMPARE(CalendarMonth::step(QStringLiteral("2024/01"), 31, 1), QDate(2024, 2, 29));
        QCOMPARE(CalendarMonth::step(QStringLiteral("2026/03"), 31, -1), QDate(2026, 2, 28));
        QCOMPARE(CalendarMonth::step(QStringLiteral("2025/12"), 15, 1), QDate(2026, 1, 15));
        QCOMPARE(CalendarMonth::step(QStringLiteral("2026/01"), 10, -1), QDate(2025, 12, 10));
        QVERIFY(!CalendarMonth::step(QStringLiteral("115/01"), 1, 1));
        QVERIFY(!CalendarMonth::step(QStringLiteral("2026/13"), 1, 1));
        QVERIFY(!CalendarMonth::step(QString(), 1, 1));
    }

    void opensOnTodayAndStepsUnderTheRocStyle() {
        // Under "CC/MM/DD" the date line reads 115/01/31, which reads back as
        // a date of another century; the steps go by the shown month instead.
        Globals g;
        g.gCalendar = QStringLiteral("CC/MM/DD");
        FixedClock clock(QDateTime(QDate(2026, 1, 31), QTime(9, 0)));
        CalendarWindow calendar(&g, &clock, nullptr);
        QCOMPARE(calendar.shownMonth().tag(), QStringLiteral("2026/01"));
        QCOMPARE(calendar.dateLabel(), QStringLiteral("115/01/31"));

        calendar.imgNext_Click();
        QCOMPARE(calendar.shownMonth().tag(), QStringLiteral("2026/02"));
        QCOMPARE(calendar.dateLabel(), QStringLiteral("115/02/28"));
        QCOMPARE(calendar.fgCal()->currentItem()->text(), QStringLiteral("28"));
        QVERIFY(calendar.fgCal()->isRowHidden(5)); // February 2026 fills four rows

        calendar.imgPrev_Click();
        calendar.imgPrev_Click();
        QCOMPARE(calendar.shownMonth().tag(), QStringLiteral("2025/12"));
        QCOMPARE(calendar.dateLabel(), QStringLiteral("114/12/28"));

        calendar.DoCalendar(QDate(2026, 8, 15));
        QVERIFY(!calendar.fgCal()->isRowHidden(5));
        QCOMPARE(calendar.fgCal()->item(5, 1)->text(), QStringLiteral("31"));
        QCOMPARE(calendar.fgCal()->horizontalHeaderItem(0)->text(), QStringLiteral("週日"));
        QCOMPARE(calendar.fgCal()->horizontalHeaderItem(6)->text(), QStringLiteral("週六"));
        QCOMPARE(calendar.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("2026年 8月"));
    }

    void touchingADayPicksIt() {
        Globals g;
        FixedClock clock(QDateTime(QDate(2026, 3, 20), QTime(9, 0)));
        WidgetDialogs dialogs;
        dialogs.setClock(&clock);
        dialogs.setContext(&g, nullptr);
        QDate picked(2000, 1, 1);
        bool seen = false;
        whenShown(
            kName, [](QWidget* w) { touchDay(w, 7); }, &seen);
        QVERIFY(dialogs.PickDate(picked));
        QVERIFY(seen);
        QCOMPARE(picked, QDate(2026, 3, 7));
        QCOMPARE(dialogs.frmFgDate().dateLabel(), QStringLiteral("2026/03/07"));
        QVERIFY(!dialogs.frmFgDate().isVisible());
    }

    void theArrowsAndEnterPickWithAKeyboard() {
        Globals g;
        FixedClock clock(QDateTime(QDate(2026, 3, 20), QTime(9, 0)));
        CalendarWindow calendar(&g, &clock, nullptr);
        whenShown(kName, [](QWidget* w) {
            auto* grid = static_cast<CalendarWindow*>(w)->fgCal();
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Right);
            QTest::keyClick(grid, Qt::Key_Return);
        });
        QVERIFY(calendar.PickDate());
        QCOMPARE(calendar.DATEPICKED, QDate(2026, 3, 21));
    }

    void headerAndEmptyCellsKeepTheWindowOpen() {
        Globals g;
        FixedClock clock(QDateTime(QDate(2026, 3, 20), QTime(9, 0)));
        CalendarWindow calendar(&g, &clock, nullptr);
        bool stillUp = false;
        whenShown(kName, [&](QWidget* w) {
            auto* c = static_cast<CalendarWindow*>(w);
            c->fgCal_Click(0, 3); // header row
            c->fgCal_Click(5, 4); // after 31 March
            QTest::mouseClick(c->fgCal()->horizontalHeader()->viewport(), Qt::LeftButton);
            stillUp = c->isVisible();
        });
        QVERIFY(!calendar.PickDate());
        QVERIFY(stillUp);
        QVERIFY(calendar.pickedTag().isEmpty());
    }

    void leavingReturnsNothingAndKeepsTheDate() {
        // A pick, then a call left by "離開" and one left by Esc: neither
        // returns the earlier pick nor touches the caller's date.
        Globals g;
        FixedClock clock(QDateTime(QDate(2026, 3, 20), QTime(9, 0)));
        WidgetDialogs dialogs;
        dialogs.setClock(&clock);
        dialogs.setContext(&g, nullptr);
        QDate picked;
        whenShown(kName, [](QWidget* w) { touchDay(w, 9); });
        QVERIFY(dialogs.PickDate(picked));

        QDate untouched(1999, 9, 9);
        whenShown(kName, [](QWidget* w) { QVERIFY(touch(w, QStringLiteral("cmdExit"))); });
        QVERIFY(!dialogs.PickDate(untouched));
        QCOMPARE(untouched, QDate(1999, 9, 9));
        whenShown(kName, [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        QVERIFY(!dialogs.PickDate(untouched));
        QCOMPARE(untouched, QDate(1999, 9, 9));
    }

    void opensWhereItWasOrOnTheStartDate() {
        Globals g;
        FixedClock clock(QDateTime(QDate(2026, 3, 20), QTime(9, 0)));
        WidgetDialogs dialogs;
        dialogs.setClock(&clock);
        dialogs.setContext(&g, nullptr);
        QDate picked;
        // Step back a month and leave: the next call without a start date
        // opens on that month, not on today's.
        whenShown(kName, [](QWidget* w) {
            QVERIFY(touch(w, QStringLiteral("imgPrev")));
            QVERIFY(touch(w, QStringLiteral("cmdExit")));
        });
        QVERIFY(!dialogs.PickDate(picked));
        QString tag;
        whenShown(kName, [&](QWidget* w) { tag = static_cast<CalendarWindow*>(w)->shownMonth().tag(); });
        dialogs.PickDate(picked);
        QCOMPARE(tag, QStringLiteral("2026/02"));

        whenShown(kName, [&](QWidget* w) { tag = static_cast<CalendarWindow*>(w)->shownMonth().tag(); });
        dialogs.PickDate(picked, QVariant(QStringLiteral("2025/07/04")));
        QCOMPARE(tag, QStringLiteral("2025/07"));
        // A start date that is not a date opens on today.
        whenShown(kName, [&](QWidget* w) { tag = static_cast<CalendarWindow*>(w)->shownMonth().tag(); });
        dialogs.PickDate(picked, QVariant(QString()));
        QCOMPARE(tag, QStringLiteral("2026/03"));
    }
};

QTEST_MAIN(TestCalendar)
#include "tst_calendar.moc"
