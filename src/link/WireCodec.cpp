#include "link/WireCodec.h"

#include <QIODevice>

namespace tolva {

WireReply WireReply::split(const QString& message) {
    WireReply r;
    r.prefix = message.left(4);
    r.command = message.mid(4, 6);
    r.rc = message.mid(10, 2);
    r.count = message.mid(12, 6);
    r.data = message.mid(18);
    return r;
}

QByteArray WireCodec::request(const QString& prefix, const QString& command, const QString& data) const {
    QByteArray bytes = m_cp.encode(prefix + command + QLatin1String("00") + data);
    bytes.append(endByte());
    return bytes;
}

std::optional<QString> WireCodec::assemble(QByteArray& mRecvPart, const QByteArray& segment) const {
    const qsizetype at = segment.indexOf(endByte());
    if (at < 0) {
        mRecvPart.append(segment);
        return std::nullopt;
    }
    const QByteArray message = mRecvPart + segment.left(at);
    mRecvPart.clear();
    return m_cp.decode(message);
}

std::optional<QString> WireCodec::assemble(QByteArray& mRecvPart, QIODevice& device) const {
    return assemble(mRecvPart, device.readAll());
}

} // namespace tolva
