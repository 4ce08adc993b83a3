#include "server/PgResultText.h"

#include "server/Protocol.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <QVariant>
#include <cstring>
#include <libpq-fe.h>

namespace memberd {

namespace {

// The type OIDs of PostgreSQL's built-in types met here.
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kRegproc = 24,
    kInt4 = 23,
    kXid = 28,
    kCid = 29,
    kFloat4 = 700,
    kFloat8 = 701,
    kAbstime = 702,
    kReltime = 703,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kTimeTz = 1266,
    kNumeric = 1700,
    kVoid = 2278,
};

bool digits(const char* s, int from, int to) {
    for (int i = from; i < to; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

// "YYYY-MM-DD": the form PostgreSQL writes a date in (DateStyle ISO).
bool isPlainDate(const char* s, int n) {
    return n >= 10 && digits(s, 0, 4) && s[4] == '-' && digits(s, 5, 7) && s[7] == '-' && digits(s, 8, 10);
}

// "HH:MM:SS" without fractions or zone.
bool isPlainTime(const char* s, int n) {
    return n >= 8 && digits(s, 0, 2) && s[2] == ':' && digits(s, 3, 5) && s[5] == ':' && digits(s, 6, 8);
}

void appendDate(QByteArray& out, const char* s) {
    out.append(s, 4);
    out += '/';
    out.append(s + 5, 2);
    out += '/';
    out.append(s + 8, 2);
}

void appendText(QByteArray& out, const QString& text) {
    out += text.toUtf8();
}

void appendDouble(QByteArray& out, const char* s, int n) {
    double value = 0;
    if (qstricmp(s, "NaN") == 0) {
        value = qQNaN();
    } else if (qstricmp(s, "Infinity") == 0) {
        value = qInf();
    } else if (qstricmp(s, "-Infinity") == 0) {
        value = -qInf();
    } else {
        bool ok = false;
        value = QByteArray::fromRawData(s, n).toDouble(&ok);
        if (!ok)
            return; // the driver had no value for it: an empty field
    }
    appendText(out, valueText(QVariant(value)));
}

// What the Qt driver makes of the value, then valueText: for the types whose
// text form differs between the two.
void appendTheLongWay(QByteArray& out, Oid type, const char* s) {
    const QString latin = QString::fromLatin1(s);
    switch (type) {
    case kDate:
    case kAbstime:
    case kReltime:
        appendText(out, valueText(QVariant(QDate::fromString(latin, Qt::ISODate))));
        return;
    case kTime:
    case kTimeTz:
        appendText(out, valueText(QVariant(QTime::fromString(latin, Qt::ISODate))));
        return;
    case kTimestamp:
    case kTimestampTz:
        appendText(out, valueText(QVariant(QDateTime::fromString(latin, Qt::ISODate).toLocalTime())));
        return;
    case kBytea: {
        size_t length = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(s), &length);
        const QByteArray raw(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
        PQfreemem(bytes);
        appendText(out, valueText(QVariant(raw)));
        return;
    }
    default:
        appendText(out, valueText(QVariant(std::atoi(s))));
        return;
    }
}

// TAB, ";", CR, LF and char 3 would split a field, a row or the message.
// None of them is ever part of a longer UTF-8 sequence.
void clean(QByteArray& out, qsizetype from) {
    char* p = out.data();
    for (qsizetype i = from; i < out.size(); ++i) {
        const char c = p[i];
        if (c == '\t' || c == ';' || c == '\r' || c == '\n' || c == '\x03')
            p[i] = ' ';
    }
}

// How many UTF-16 units the UTF-8 bytes make.
qint64 utf16Units(const char* s, qsizetype n) {
    qint64 units = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            ++units;
        if (b >= 0xF0)
            ++units;
    }
    return units;
}

} // namespace

void PgResultText::appendValue(QByteArray& out, unsigned type, const char* s, int n) {
    switch (type) {
    case kBool:
        out += s[0] == 't' ? QByteArrayView("true") : QByteArrayView("false");
        return;
    case kInt2:
    case kInt4:
    case kInt8:
        out.append(s, n);
        return;
    case kNumeric:
    case kFloat4:
    case kFloat8:
        appendDouble(out, s, n);
        return;
    case kDate:
        if (n == 10 && isPlainDate(s, n)) {
            appendDate(out, s);
            return;
        }
        break;
    case kTime:
        if (n == 8 && isPlainTime(s, n)) {
            out.append(s, n);
            return;
        }
        break;
    case kTimestamp:
        if (n == 19 && isPlainDate(s, n) && s[10] == ' ' && isPlainTime(s + 11, n - 11)) {
            appendDate(out, s);
            out.append(s + 10, 9);
            return;
        }
        break;
    case kRegproc:
    case kXid:
    case kCid:
    case kVoid:
    case kAbstime:
    case kReltime:
    case kTimeTz:
    case kTimestampTz:
    case kBytea:
        break;
    default:
        out.append(s, n);
        return;
    }
    appendTheLongWay(out, type, s);
}

PgResultText PgResultText::of(const pg_result* result, qint64 maxChars) {
    PgResultText text;
    const int rows = PQntuples(result);
    const int cols = PQnfields(result);
    if (rows == 0)
        return text;
    QByteArray& out = text.utf8;
    for (int c = 0; c < cols; ++c) {
        if (c)
            out += '\t';
        const qsizetype start = out.size();
        out += PQfname(result, c);
        clean(out, start);
    }
    qint64 units = utf16Units(out.constData(), out.size());
    for (int r = 0; r < rows; ++r) {
        const qsizetype rowStart = out.size();
        out += ';';
        for (int c = 0; c < cols; ++c) {
            if (c)
                out += '\t';
            if (PQgetisnull(result, r, c))
                continue;
            const qsizetype start = out.size();
            appendValue(out, PQftype(result, c), PQgetvalue(result, r, c), PQgetlength(result, r, c));
            clean(out, start);
        }
        ++text.rows;
        units += utf16Units(out.constData() + rowStart, out.size() - rowStart);
        if (units > maxChars) {
            text.tooLarge = true;
            break;
        }
    }
    return text;
}

} // namespace memberd
