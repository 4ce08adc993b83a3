#include "common/Formatting.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <charconv>
#include <cmath>
#include <string>

namespace tolva {

namespace {

// Removes leading and trailing spaces; tabs and line breaks stay.
QString trimSpaces(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

QString padded(int number, int width) {
    if (number < 0)
        return QLatin1Char('-') + QString::number(-number).rightJustified(width, QLatin1Char('0'));
    return QString::number(number).rightJustified(width, QLatin1Char('0'));
}

QString fourDigitYear(const QDate& d) {
    return padded(d.year(), 4);
}

QString twoDigitYear(const QDate& d) {
    return padded(((d.year() % 100) + 100) % 100, 2);
}

// Republic-of-China year with at least two digits: 1912 is 01, 2011 is 100.
QString rocYear(const QDate& d) {
    return padded(d.year() - 1911, 2);
}

// An unrecognised display style used as a date pattern: runs of y, m, d
// (any letter case) are the year (three or more letters: four digits, else
// two), the month and the day (one letter: no leading zero); runs of c are the
// ROC year with at least as many digits as letters; every other character is
// copied.
QString applyPattern(const QString& pattern, const QDate& d) {
    QString out;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = pattern.at(i).toLower();
        if (c != QLatin1Char('y') && c != QLatin1Char('m') && c != QLatin1Char('d') &&
            c != QLatin1Char('c')) {
            out += pattern.at(i++);
            continue;
        }
        qsizetype j = i;
        while (j < n && pattern.at(j).toLower() == c)
            ++j;
        const int run = static_cast<int>(j - i);
        i = j;
        if (c == QLatin1Char('y'))
            out += run >= 3 ? fourDigitYear(d) : twoDigitYear(d);
        else if (c == QLatin1Char('m'))
            out += run == 1 ? QString::number(d.month()) : padded(d.month(), 2);
        else if (c == QLatin1Char('d'))
            out += run == 1 ? QString::number(d.day()) : padded(d.day(), 2);
        else
            out += padded(d.year() - 1911, std::max(run, 1));
    }
    return out;
}

QString valueText(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return plainNumber(value.toDouble());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.toString(QStringLiteral("yyyy/MM/dd"));
        return dt.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    }
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

} // namespace

QString boundText(const QVariant& value) {
    // Never a null string: the database would take it for NULL, which equals
    // nothing, where QuotStr gives the empty literal ''.
    const QString text = trimSpaces(valueText(value));
    return text.isNull() ? QStringLiteral("") : text;
}

QString QuotStr(const QVariant& value) {
    QString text = valueText(value);
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + trimSpaces(text) + QLatin1Char('\'');
}

std::optional<QDateTime> readAsDate(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? std::optional<QDateTime>(dt) : std::nullopt;
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        return d.isValid() ? std::optional<QDateTime>(QDateTime(d, QTime(0, 0))) : std::nullopt;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray:
        break;
    default:
        return std::nullopt;
    }

    static const QRegularExpression pattern(QStringLiteral(
        "^(\\d{4}|\\d{2})([/.-])(\\d{1,2})\\2(\\d{1,2})(?:[ T]+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QString text =
        value.typeId() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray()) : value.toString();
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    int year = m.captured(1).toInt();
    if (m.capturedLength(1) == 2)
        year += year < 30 ? 2000 : 1900;
    const QDate date(year, m.captured(3).toInt(), m.captured(4).toInt());
    if (!date.isValid())
        return std::nullopt;
    QTime time(0, 0);
    if (m.capturedLength(5) > 0) {
        time = QTime(m.captured(5).toInt(), m.captured(6).toInt(),
                     m.capturedLength(7) > 0 ? m.captured(7).toInt() : 0);
        if (!time.isValid())
            return std::nullopt;
    }
    return QDateTime(date, time);
}

QString QuotDate(const QString& dateQuote, const QVariant& value) {
    const std::optional<QDateTime> dt = readAsDate(value);
    if (!dt)
        return QStringLiteral("NULL");
    const QString formatted = fourDigitYear(dt->date()) + dt->toString(QStringLiteral("/MM/dd HH:mm:ss"));
    const QString oracle =
        QStringLiteral("TO_DATE('") + formatted + QStringLiteral("','YYYY/MM/DD HH24:MI:SS')");
    if (dateQuote == QLatin1String("TO_DATE"))
        return oracle;
    return dateQuote + formatted + dateQuote;
}

QString DBDateDisp(const Globals& g, const QVariant& value, const QString& style) {
    const std::optional<QDateTime> dt = readAsDate(value);
    if (!dt)
        return QString();
    const QDate d = dt->date();
    const QString s = style.isEmpty() ? g.gCalendar : style;
    const QString& sep = g.gDateSep;
    const QString mm = padded(d.month(), 2);
    const QString dd = padded(d.day(), 2);
    if (s == QLatin1String("CCMMDD"))
        return rocYear(d) + mm + dd;
    if (s == QLatin1String("YYYY/MM"))
        return fourDigitYear(d) + QLatin1Char('/') + mm;
    if (s == QLatin1String("YYMMDD"))
        return twoDigitYear(d) + mm + dd;
    if (s == QLatin1String("CC/MM/DD"))
        return rocYear(d) + sep + mm + sep + dd;
    if (s == QLatin1String("YYYY/MM/DD"))
        return fourDigitYear(d) + sep + mm + sep + dd;
    if (s == QLatin1String("YY/MM/DD"))
        return twoDigitYear(d) + sep + mm + sep + dd;
    return applyPattern(s, d);
}

QString DBDateSave(const Globals& g, const QString& text) {
    const QString t = trimSpaces(text);
    const QString& cal = g.gCalendar;
    const auto accepted = [](const QString& candidate) {
        return readAsDate(candidate) ? candidate : QString();
    };

    if (cal == QLatin1String("CC/MM/DD")) {
        // Two-digit ROC years (up to 2010) give 8 characters, three-digit
        // years (from 2011) 9. The separators are not examined.
        if (text.size() != 8 && text.size() != 9)
            return QString();
        const int yearLength = static_cast<int>(text.size()) - 6;
        const QString year = plainNumber(numericValue(t.left(yearLength)) + 1911);
        return accepted(year + QLatin1Char('/') + t.mid(yearLength + 1, 2) + QLatin1Char('/') + t.right(2));
    }
    if (cal == QLatin1String("CCMMDD")) {
        static const QRegularExpression digits(QStringLiteral("^\\d{6,7}$"));
        if (!digits.match(text).hasMatch())
            return QString();
        const int yearLength = static_cast<int>(text.size()) - 4;
        const QString year = QString::number(text.left(yearLength).toInt() + 1911);
        return accepted(year + QLatin1Char('/') + text.mid(yearLength, 2) + QLatin1Char('/') + text.right(2));
    }
    if (cal == QLatin1String("YYYY/MM/DD"))
        return text.size() == 10 && readAsDate(t) ? t : QString();
    return accepted(QStringLiteral("20") + t);
}

double numericValue(const QString& text) {
    std::string number;
    bool digitsSeen = false;
    bool pointSeen = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
               c == QLatin1Char('\r');
    };
    const auto skipBlanks = [&] {
        while (i < n && blank(text.at(i)))
            ++i;
    };

    skipBlanks();
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        number += static_cast<char>(text.at(i).unicode());
        ++i;
    }
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (blank(c))
            continue;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            number += static_cast<char>(c.unicode());
            digitsSeen = true;
        } else if (c == QLatin1Char('.') && !pointSeen) {
            number += '.';
            pointSeen = true;
        } else {
            break;
        }
    }
    if (!digitsSeen)
        return 0.0;

    // An exponent counts only when at least one digit follows it.
    if (i < n) {
        const QChar e = text.at(i).toLower();
        if (e == QLatin1Char('e') || e == QLatin1Char('d')) {
            qsizetype j = i + 1;
            std::string exponent = "e";
            while (j < n && blank(text.at(j)))
                ++j;
            if (j < n && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+')))
                exponent += static_cast<char>(text.at(j++).unicode());
            bool expDigits = false;
            for (; j < n; ++j) {
                const QChar c = text.at(j);
                if (blank(c))
                    continue;
                if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                    break;
                exponent += static_cast<char>(c.unicode());
                expDigits = true;
            }
            if (expDigits)
                number += exponent;
        }
    }

    bool ok = false;
    const double value = QByteArray::fromStdString(number).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0.0;
    return value;
}

QString plainNumber(double value) {
    if (!std::isfinite(value) || value == 0.0)
        return QStringLiteral("0");
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    std::string s(buffer, result.ptr); // e.g. "-1.23450000000000e+03"
    const bool negative = s.front() == '-';
    if (negative)
        s.erase(0, 1);
    const std::size_t ePos = s.find('e');
    const int exponent = std::stoi(s.substr(ePos + 1));
    std::string digits = s.substr(0, ePos);
    digits.erase(1, 1); // the decimal point after the first digit
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const int before = exponent + 1; // digits before the decimal point
    std::string out;
    if (before <= 0)
        out = "0." + std::string(static_cast<std::size_t>(-before), '0') + digits;
    else if (static_cast<std::size_t>(before) >= digits.size())
        out = digits + std::string(static_cast<std::size_t>(before) - digits.size(), '0');
    else
        out = digits.substr(0, static_cast<std::size_t>(before)) + "." +
              digits.substr(static_cast<std::size_t>(before));
    return QString::fromLatin1((negative ? "-" : "") + out);
}

} // namespace tolva
