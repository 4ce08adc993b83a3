#pragma once

#include <QByteArray>
#include <QtGlobal>

struct pg_result;

namespace memberd {

// The data part of a SELECT's reply, built from a PostgreSQL result in its
// text form straight into UTF-8 bytes: the header row, then ";" and the
// values of each row, fields split by TAB. Each value reads exactly as the
// desks have always read it (see valueText): NULL as "", booleans "true" and
// "false", numbers in plain decimal, dates "yyyy/MM/dd", date-times
// "yyyy/MM/dd HH:mm:ss", times "HH:mm:ss", with TAB, ";", CR, LF and char 3
// in names and values replaced by blanks. The common types are written
// without a QString or QVariant; the rare ones go the long way for the same
// result.
struct PgResultText {
    QByteArray utf8;
    qint64 rows = 0;
    bool tooLarge = false; // the text passed maxChars (UTF-16 units, as the size check has always counted)

    static PgResultText of(const pg_result* result, qint64 maxChars);
    // One value of the given type (its OID) in its reply form, not yet cleaned.
    static void appendValue(QByteArray& out, unsigned type, const char* value, int length);
};

} // namespace memberd
