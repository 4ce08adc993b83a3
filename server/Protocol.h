#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace tolva {
class CodePage;
}

namespace memberd {

// Result codes of the replies. "00" is success; the others carry a text for
// the operator in the data part.
namespace rc {
inline constexpr const char* kOk = "00";
inline constexpr const char* kLoginRefused = "01";
inline constexpr const char* kBadRequest = "02";
inline constexpr const char* kRefused = "03";
inline constexpr const char* kDatabase = "04";
inline constexpr const char* kTooLarge = "05";
// A keyed posting whose key is known from a posting of other values.
inline constexpr const char* kOtherPosting = "05";
// A store's request for another store, or an offline posting without its code.
inline constexpr const char* kOutOfScope = "05";
} // namespace rc

inline constexpr char kEnd = '\x03';

// What a service announces in the count of its log-in reply, one bit each;
// services before keyed postings answer 0.
inline constexpr qint64 kKeyedPostings = 1; // POSTKY and POSTQY
// The connection logged in as a store and writes only as that store.
inline constexpr qint64 kStoreScoped = 2;

// A request as it arrives: positions 1-4 prefix, 5-10 command word, 11-12
// "00", 13- data (still in the code page). The command is upper-cased.
struct Request {
    QByteArray prefix;
    QByteArray command;
    QByteArray data;
    bool wellFormed = false;

    static Request parse(const QByteArray& message);
};

// The framing rule for values: TAB, ";", CR, LF and the terminator inside a
// value would split it into fields, rows or messages, so each becomes a
// blank. Header names get the same treatment; error texts too.
QString cleanValue(QString text);
// A column value as text: NULL as "", dates "YYYY/MM/DD", date-times
// "YYYY/MM/DD HH:MM:SS", numbers in plain decimal.
QString valueText(const QVariant& value);

// prefix (4) + command (6) + result code (2) + count (6 digits) + data + terminator.
QByteArray reply(const tolva::CodePage& codePage, const QByteArray& prefix, const QByteArray& command,
                 const char* resultCode, qint64 count, const QString& data);

// The same with the data part as UTF-8 bytes (already cleaned), converted once.
QByteArray replyFromUtf8(const tolva::CodePage& codePage, const QByteArray& prefix, const QByteArray& command,
                         const char* resultCode, qint64 count, const QByteArray& utf8);

// Compares two byte strings in time that does not depend on where they differ.
bool constantTimeEquals(const QByteArray& a, const QByteArray& b);

} // namespace memberd
