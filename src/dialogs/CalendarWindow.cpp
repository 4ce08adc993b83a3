#include "dialogs/CalendarWindow.h"

#include "common/Clock.h"
#include "common/Fault.h"
#include "common/Formatting.h"
#include "common/Globals.h"
#include "dialogs/ControlNames.h"
#include "dialogs/WindowUtilities.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tolva {

namespace {

const QString kDayNames[CalendarMonth::kColumns] = {
    QStringLiteral("週日"), QStringLiteral("週一"), QStringLiteral("週二"), QStringLiteral("週三"),
    QStringLiteral("週四"), QStringLiteral("週五"), QStringLiteral("週六")};

// The size the calendar has beside a 1024 x 768 window; it grows with the
// window on larger screens.
constexpr QSize kBaseSize(600, 540);

// The month-step pictures: a filled arrow head pointing back or forward.
QIcon arrowIcon(bool forward) {
    QPixmap pm(40, 40);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    const QPolygonF head = forward ? QPolygonF({QPointF(10, 4), QPointF(34, 20), QPointF(10, 36)})
                                   : QPolygonF({QPointF(30, 4), QPointF(6, 20), QPointF(30, 36)});
    p.drawPolygon(head);
    return QIcon(pm);
}

// Text sizes for a scale factor (1 beside a 1024 x 768 window).
QString calendarStyle(double scale) {
    const auto px = [scale](int size) { return QString::number(qRound(size * scale)); };
    return QStringLiteral("QLabel#Label1 { font-size: %1px; font-weight: bold; }"
                          "QTableWidget#fgCal { font-size: %2px; }"
                          "QHeaderView::section { font-size: %3px; padding: 6px; }"
                          "QLabel#lblDate { font-size: %3px; }"
                          "QPushButton#cmdExit { font-size: %3px; min-height: %4px; min-width: %5px; }")
        .arg(px(30), px(28), px(21), px(56), px(120));
}

QPushButton* stepButton(QWidget* parent, const QString& name, const QString& caption, bool forward) {
    auto* b = new QPushButton(parent);
    nameControl(b, name);
    b->setAccessibleName(caption);
    b->setToolTip(caption);
    b->setIcon(arrowIcon(forward));
    b->setIconSize(QSize(40, 40));
    b->setMinimumSize(64, 64);
    b->setFlat(true);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

CalendarWindow::CalendarWindow(const Globals* globals, const Clock* clock, Reporter* reporter,
                               QWidget* parent)
    : QDialog(parent), m_globals(globals ? globals : &m_defaultGlobals),
      m_clock(clock ? clock : &m_systemClock), m_reporter(reporter) {
    nameControl(this, QStringLiteral("frmFgDate"));
    setWindowTitle(QStringLiteral("選取日期"));
    setModal(true);

    m_label1 = new QLabel(this);
    nameControl(m_label1, QStringLiteral("Label1"));
    m_label1->setAlignment(Qt::AlignCenter);
    m_imgPrev = stepButton(this, QStringLiteral("imgPrev"), QStringLiteral("上個月"), false);
    m_imgNext = stepButton(this, QStringLiteral("imgNext"), QStringLiteral("下個月"), true);
    connect(m_imgPrev, &QPushButton::clicked, this, &CalendarWindow::imgPrev_Click);
    connect(m_imgNext, &QPushButton::clicked, this, &CalendarWindow::imgNext_Click);

    m_fgCal = new QTableWidget(CalendarMonth::kWeekRows, CalendarMonth::kColumns, this);
    nameControl(m_fgCal, QStringLiteral("fgCal"));
    m_fgCal->setAccessibleName(windowTitle());
    for (int c = 0; c < CalendarMonth::kColumns; ++c)
        m_fgCal->setHorizontalHeaderItem(c, new QTableWidgetItem(kDayNames[c]));
    m_fgCal->verticalHeader()->hide();
    m_fgCal->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_fgCal->horizontalHeader()->setSectionsClickable(false);
    m_fgCal->horizontalHeader()->setMinimumHeight(40);
    m_fgCal->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_fgCal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fgCal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fgCal->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fgCal->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_fgCal, &QTableWidget::cellClicked, this,
            [this](int row, int column) { fgCal_Click(row + 1, column); });

    m_lblDate = new QLabel(this);
    nameControl(m_lblDate, QStringLiteral("lblDate"));
    m_cmdExit = new QPushButton(QStringLiteral("離開"), this);
    nameControl(m_cmdExit, QStringLiteral("cmdExit"));
    m_cmdExit->setAutoDefault(false);
    connect(m_cmdExit, &QPushButton::clicked, this, &CalendarWindow::cmdExit_Click);

    auto* head = new QHBoxLayout;
    head->addWidget(m_imgPrev);
    head->addWidget(m_label1, 1);
    head->addWidget(m_imgNext);
    auto* foot = new QHBoxLayout;
    foot->addWidget(m_lblDate, 1);
    foot->addWidget(m_cmdExit);
    auto* body = new QVBoxLayout(this);
    body->addLayout(head);
    body->addWidget(m_fgCal, 1);
    body->addLayout(foot);
    layOutForOwner();

    // Load: the month of today, today selected.
    guardedVoid(m_reporter, QStringLiteral("DoCalendar"), [&] { DoCalendar(m_clock->today()); });
}

CalendarWindow::~CalendarWindow() = default;

QString CalendarWindow::dateLabel() const {
    return m_lblDate->text();
}

bool CalendarWindow::PickDate(const std::optional<QVariant>& pvDate) {
    bool result = false;
    // One showing at a time: a call while the calendar is up gets nothing.
    if (isVisible())
        return result;
    guardedVoid(m_reporter, QStringLiteral("frmFgDate_PickDate"), [&] {
        m_tag.clear();
        if (pvDate) {
            const std::optional<QDateTime> start = readAsDate(*pvDate);
            DoCalendar(start ? start->date() : m_clock->today());
        }
        exec();
        if (!m_tag.isEmpty()) {
            const std::optional<QDateTime> picked = readAsDate(m_tag);
            if (!picked)
                throw Fault(Fault::kGeneric, QStringLiteral("型態不符合: ") + m_tag);
            DATEPICKED = picked->date();
            result = true;
        }
    });
    return result;
}

void CalendarWindow::DoCalendar(const QDate& d) {
    guardedVoid(m_reporter, QStringLiteral("DoCalendar"), [&] {
        if (!d.isValid())
            throw Fault(Fault::kGeneric, QStringLiteral("型態不符合"));
        m_day = d.day();
        m_lblDate->setText(DBDateDisp(*m_globals, d));
        m_month = CalendarMonth(d);
        m_fgCal->clearContents();
        for (int row = 1; row <= CalendarMonth::kWeekRows; ++row) {
            for (int column = 0; column < CalendarMonth::kColumns; ++column) {
                const QString text = m_month.cellText(row, column);
                if (text.isEmpty())
                    continue;
                auto* item = new QTableWidgetItem(text);
                item->setTextAlignment(Qt::AlignCenter);
                m_fgCal->setItem(row - 1, column, item);
            }
        }
        // With five week rows the sixth is out of sight; the others share
        // the space.
        m_fgCal->setRowHidden(CalendarMonth::kWeekRows - 1, m_month.weekRows() < CalendarMonth::kWeekRows);
        m_label1->setText(m_month.heading());
        m_fgCal->setCurrentCell(m_month.rowOf(m_day) - 1, m_month.columnOf(m_day));
    });
}

void CalendarWindow::fgCal_Click(int row, int column) {
    guardedVoid(m_reporter, QStringLiteral("fgCal_Click"), [&] {
        const int day = m_month.dayAt(row, column);
        if (row < 1 || day == 0)
            return;
        m_day = day;
        m_lblDate->setText(m_month.pickedText(day));
        m_tag = m_lblDate->text();
        hide();
    });
}

void CalendarWindow::stepMonth(const QString& procedure, int months) {
    guardedVoid(m_reporter, procedure, [&] {
        const std::optional<QDate> target = CalendarMonth::step(m_month.tag(), m_day, months);
        if (!target)
            throw Fault(Fault::kGeneric, QStringLiteral("型態不符合: ") + m_month.tag());
        DoCalendar(*target);
    });
}

void CalendarWindow::imgPrev_Click() {
    stepMonth(QStringLiteral("imgPrev_Click"), -1);
}

void CalendarWindow::imgNext_Click() {
    stepMonth(QStringLiteral("imgNext_Click"), 1);
}

void CalendarWindow::cmdExit_Click() {
    hide();
}

void CalendarWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cmdExit_Click();
        return;
    }
    // With a keyboard, Enter or Space picks the highlighted day.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        m_fgCal->currentRow() >= 0) {
        fgCal_Click(m_fgCal->currentRow() + 1, m_fgCal->currentColumn());
        return;
    }
    QDialog::keyPressEvent(event);
}

void CalendarWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    layOutForOwner();
}

void CalendarWindow::layOutForOwner() {
    const double scale = tillScale(m_owner ? m_owner->size() : QSize());
    setStyleSheet(calendarStyle(scale));
    resize(QSize(qRound(kBaseSize.width() * scale), qRound(kBaseSize.height() * scale)));
    CenterOnWindow(this, m_owner);
}

} // namespace tolva
