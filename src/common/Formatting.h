#pragma once

#include "common/Globals.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

namespace tolva {

// SQL value and date text conversions. All of them are pure: bad input gives
// "NULL" or the empty text, never an error.

// Any value as an SQL string literal: apostrophes doubled, leading and
// trailing spaces (only spaces) removed, the whole in apostrophes. Numbers give
// their plain text ('12', '12.5'); null and empty give ''.
QString QuotStr(const QVariant& value);

// The text QuotStr would quote, for a bound statement value: the value's text
// with leading and trailing spaces removed; null and empty give an empty (not
// null) text, which binds as '' and not as NULL.
QString boundText(const QVariant& value);

// A date (or a text that reads as a date) as a date literal,
// "YYYY/MM/DD hh:mm:ss" between dateQuote, or the TO_DATE(...) form when
// dateQuote is "TO_DATE". A value that does not read as a date gives the SQL
// keyword NULL. The quote is the database's (Dialect::dateQuote, whose
// quotedDate and dateLiteral call this).
QString QuotDate(const QString& dateQuote, const QVariant& value);

// A date (or date text) in the display style (gCalendar when style is empty);
// the empty text when the value does not read as a date.
QString DBDateDisp(const Globals& g, const QVariant& value, const QString& style = QString());

// Operator-typed date text in the gCalendar style back to the stored form;
// the empty text when it is not a valid date.
QString DBDateSave(const Globals& g, const QString& text);

// The value as a date and time when it is one, or a text of the form
// YYYY/MM/DD, YYYY-MM-DD, YYYY.MM.DD or YY/MM/DD (month and day of one or two
// digits), optionally followed by hh:mm or hh:mm:ss. Two-digit years 00-29
// are 2000-2029, 30-99 are 1930-1999.
std::optional<QDateTime> readAsDate(const QVariant& value);

// The leading numeric part of a text, as the tills have always read amounts:
// blanks are skipped, then an optional sign, digits, one decimal point and an
// optional exponent; reading stops at the first other character. "1,050"
// gives 1, "abc" 0, " 12.5x" 12.5. A result too large for a double gives 0.
double numericValue(const QString& text);

// The value in plain decimal: at most 15 significant digits, no exponent, no
// grouping, "." as decimal point, no trailing zeros ("5250", "12.5", "-0.25").
// Infinite and NaN values give "0".
QString plainNumber(double value);

} // namespace tolva
