#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace tolva {

// One month as the calendar draws it: 7 columns (Sunday = 0 .. Saturday = 6)
// and up to 6 week rows (1 .. 6), day 1 in row 1 at the column of its
// weekday. Pure arithmetic, no widgets.
class CalendarMonth {
public:
    static constexpr int kColumns = 7;
    static constexpr int kWeekRows = 6;

    // The month of d; d's day is the selected one. An invalid date gives an
    // invalid month (isValid() false).
    explicit CalendarMonth(const QDate& d = QDate());

    bool isValid() const { return m_date.isValid(); }
    // The date drawn: its month is shown, its day selected.
    QDate date() const { return m_date; }
    int dayCount() const;
    // The column of day 1.
    int firstColumn() const;
    // Where a day of the month stands: row 1..6, column 0..6.
    int rowOf(int day) const;
    int columnOf(int day) const;
    // The cell text: the day number, or empty outside the month.
    QString cellText(int row, int column) const;
    // The day in a cell, 0 outside the month.
    int dayAt(int row, int column) const;
    // 6 when a day lands in row 6; otherwise 5, also for a February that
    // fills exactly four rows.
    int weekRows() const;
    // Height of each week row: the space below the header divided by the
    // week rows in use, whole units, remainder dropped.
    int weekRowHeight(int gridHeight, int headerHeight) const;

    // The shown month as text "YYYY/MM" (the grid's tag).
    QString tag() const;
    // The heading "2026年 3月".
    QString heading() const;
    // The picked day as "YYYY/MM/DD": the tag and the day with two digits.
    QString pickedText(int day) const;

    // The month shown by a tag "YYYY/MM" stepped by a number of months, with
    // the given day kept where that month has it and its last day otherwise
    // (31 January + 1 month = 28 or 29 February). nullopt when the tag is not
    // a month. Reading the tag rather than the displayed date makes the step
    // work under every display style, including Republic-of-China years.
    static std::optional<QDate> step(const QString& tag, int day, int months);

private:
    QDate m_date;
};

} // namespace tolva
