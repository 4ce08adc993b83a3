#pragma once

#include "common/CodePage.h"

#include <QByteArray>
#include <QString>
#include <optional>

class QIODevice;

namespace tolva {

// One reply as it was split: positions 1-4 prefix, 5-10 command word, 11-12
// result code, 13-18 count, 19- data. A short message leaves the missing
// fields empty.
struct WireReply {
    QString prefix;
    QString command;
    QString rc;
    QString count;
    QString data;

    bool ok() const { return rc == QLatin1String("00"); }
    static WireReply split(const QString& message);
};

// The framing of the link. Text travels in the code page; a message ends with
// the terminator character (code 3). A request is prefix + command + "00" +
// data + terminator and has no length field.
//
// Replies are assembled from whatever the socket hands over: bytes without a
// terminator are kept in the caller's receive buffer (mRecvPart); the first
// terminator completes a message, and the rest of that segment is dropped,
// because the link has one request in flight at a time. The buffer holds raw
// bytes, so a double-byte character split between two segments survives.
class WireCodec {
public:
    static constexpr char kEnd = '\x03';

    explicit WireCodec(const CodePage& codePage, QChar end = QChar(0x03)) : m_cp(codePage), m_end(end) {}

    void setEnd(QChar end) { m_end = end; }
    QChar end() const { return m_end; }
    const CodePage& codePage() const { return m_cp; }

    QByteArray request(const QString& prefix, const QString& command, const QString& data) const;

    // Feeds one received segment; the message text before the terminator when
    // this segment completes one (mRecvPart is then emptied).
    std::optional<QString> assemble(QByteArray& mRecvPart, const QByteArray& segment) const;
    // The same for everything the device has ready.
    std::optional<QString> assemble(QByteArray& mRecvPart, QIODevice& device) const;

private:
    char endByte() const { return static_cast<char>(m_end.unicode() & 0x7F); }

    CodePage m_cp;
    QChar m_end;
};

} // namespace tolva
