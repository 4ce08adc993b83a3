#include "dialogs/CalendarMonth.h"

#include <algorithm>

namespace tolva {

CalendarMonth::CalendarMonth(const QDate& d) : m_date(d) {}

int CalendarMonth::dayCount() const {
    return isValid() ? m_date.daysInMonth() : 0;
}

int CalendarMonth::firstColumn() const {
    if (!isValid())
        return 0;
    // QDate counts Monday = 1 .. Sunday = 7; the grid starts on Sunday.
    return QDate(m_date.year(), m_date.month(), 1).dayOfWeek() % 7;
}

int CalendarMonth::rowOf(int day) const {
    return 1 + (firstColumn() + day - 1) / kColumns;
}

int CalendarMonth::columnOf(int day) const {
    return (firstColumn() + day - 1) % kColumns;
}

int CalendarMonth::dayAt(int row, int column) const {
    if (!isValid() || row < 1 || row > kWeekRows || column < 0 || column >= kColumns)
        return 0;
    const int day = (row - 1) * kColumns + column - firstColumn() + 1;
    return day >= 1 && day <= dayCount() ? day : 0;
}

QString CalendarMonth::cellText(int row, int column) const {
    const int day = dayAt(row, column);
    return day > 0 ? QString::number(day) : QString();
}

int CalendarMonth::weekRows() const {
    return isValid() && rowOf(dayCount()) == kWeekRows ? 6 : 5;
}

int CalendarMonth::weekRowHeight(int gridHeight, int headerHeight) const {
    return std::max(0, gridHeight - headerHeight) / weekRows();
}

QString CalendarMonth::tag() const {
    return isValid() ? m_date.toString(QStringLiteral("yyyy/MM")) : QString();
}

QString CalendarMonth::heading() const {
    if (!isValid())
        return QString();
    return QString::number(m_date.year()) + QStringLiteral("年 ") + QString::number(m_date.month()) +
           QStringLiteral("月");
}

QString CalendarMonth::pickedText(int day) const {
    return tag() + QLatin1Char('/') + QStringLiteral("%1").arg(day, 2, 10, QLatin1Char('0'));
}

std::optional<QDate> CalendarMonth::step(const QString& tag, int day, int months) {
    const auto allDigits = [](QStringView s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (tag.size() != 7 || tag[4] != u'/' || !allDigits(QStringView(tag).left(4)) ||
        !allDigits(QStringView(tag).mid(5)))
        return std::nullopt;
    const QDate first(tag.left(4).toInt(), tag.mid(5).toInt(), 1);
    if (!first.isValid())
        return std::nullopt;
    const QDate shown(first.year(), first.month(), std::clamp(day, 1, first.daysInMonth()));
    // addMonths keeps the day where the target month has it and takes the
    // month's last day otherwise.
    return shown.addMonths(months);
}

} // namespace tolva
