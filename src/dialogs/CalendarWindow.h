#pragma once

#include "common/Clock.h"
#include "common/Globals.h"
#include "dialogs/CalendarMonth.h"

#include <QDate>
#include <QDialog>
#include <QVariant>
#include <optional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tolva {

class Reporter;

// frmFgDate, "選取日期": a month calendar the operator picks a date from by
// touching a day. One instance serves every call; it keeps the month it
// showed last, and each PickDate forgets any earlier pick.
class CalendarWindow : public QDialog {
    Q_OBJECT
public:
    // The globals give the display style of lblDate, the clock gives today;
    // either may be null (the default style, the system clock). Not owned.
    CalendarWindow(const Globals* globals, const Clock* clock, Reporter* reporter, QWidget* parent = nullptr);
    ~CalendarWindow() override;

    void setReporter(Reporter* reporter) { m_reporter = reporter; }
    void setGlobals(const Globals* globals) { m_globals = globals ? globals : &m_defaultGlobals; }
    // The window the calendar is centred on while it is up.
    void setOwner(QWidget* owner) { m_owner = owner; }

    // Shows the calendar modally. With pvDate the month of that date is drawn
    // (of today when it does not read as a date), that day selected; without
    // it the calendar shows what it showed last. True when a day was touched:
    // DATEPICKED then holds it.
    bool PickDate(const std::optional<QVariant>& pvDate = std::nullopt);
    QDate DATEPICKED;

    // Draws the month of d with d's day selected.
    void DoCalendar(const QDate& d);
    // A touch on the cell of a week row (1..6) and column (0..6); row 0 is
    // the header row. The header and empty cells do nothing.
    void fgCal_Click(int row, int column);
    void imgPrev_Click();
    void imgNext_Click();
    void cmdExit_Click();

    const CalendarMonth& shownMonth() const { return m_month; }
    // The window's tag: the picked date text, empty while nothing is picked.
    const QString& pickedTag() const { return m_tag; }
    QTableWidget* fgCal() const { return m_fgCal; }
    QString dateLabel() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void stepMonth(const QString& procedure, int months);
    void layOutForOwner();

    Globals m_defaultGlobals;
    SystemClock m_systemClock;
    const Globals* m_globals;
    const Clock* m_clock;
    Reporter* m_reporter = nullptr;
    QWidget* m_owner = nullptr;
    CalendarMonth m_month;
    // The day of the date drawn or picked last: the month steps keep it.
    int m_day = 1;
    QString m_tag;
    QLabel* m_label1 = nullptr;
    QLabel* m_lblDate = nullptr;
    QTableWidget* m_fgCal = nullptr;
    QPushButton* m_imgPrev = nullptr;
    QPushButton* m_imgNext = nullptr;
    QPushButton* m_cmdExit = nullptr;
};

} // namespace tolva
