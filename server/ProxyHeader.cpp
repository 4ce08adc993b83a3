#include "server/ProxyHeader.h"

#include <QList>

namespace memberd {

namespace {

constexpr char kV1Start[] = "PROXY ";
constexpr qsizetype kV1StartLength = sizeof kV1Start - 1;
constexpr char kV2Signature[] = "\r\n\r\n\0\r\nQUIT\n";
constexpr qsizetype kV2SignatureLength = sizeof kV2Signature - 1;
constexpr qsizetype kV2Fixed = 16;

ProxyHeader::Result invalid(const QString& why) {
    ProxyHeader::Result r;
    r.state = ProxyHeader::State::Invalid;
    r.error = why;
    return r;
}

// Whether bytes begin as expected, as far as there are bytes.
bool startsAs(const QByteArray& bytes, const char* expected, qsizetype length) {
    const qsizetype n = std::min(bytes.size(), length);
    return QByteArrayView(bytes.constData(), n) == QByteArrayView(expected, n);
}

QHostAddress unmapped(const QHostAddress& address) {
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped && address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress(v4) : address;
}

// Four decimal numbers of at most three digits, each below 256, as the header writes them.
bool isDottedQuad(const QByteArray& text) {
    const QList<QByteArray> parts = text.split('.');
    if (parts.size() != 4)
        return false;
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (const char c : part)
            if (c < '0' || c > '9')
                return false;
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

bool isIPv6Text(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 45)
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
              c == '.'))
            return false;
    return text.contains(':');
}

bool parsePort(const QByteArray& text, quint16& port) {
    if (text.isEmpty() || text.size() > 5 || (text.size() > 1 && text.startsWith('0')))
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    const int value = text.toInt();
    if (value > 65535)
        return false;
    port = static_cast<quint16>(value);
    return true;
}

quint16 bigEndian16(const QByteArray& bytes, qsizetype at) {
    return static_cast<quint16>((static_cast<quint8>(bytes.at(at)) << 8) |
                                static_cast<quint8>(bytes.at(at + 1)));
}

} // namespace

ProxyHeader::Result ProxyHeader::parse(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    if (bytes.at(0) == 'P')
        return parseV1(bytes);
    if (bytes.at(0) == '\r')
        return parseV2(bytes);
    return invalid(QStringLiteral("no PROXY header"));
}

ProxyHeader::Result ProxyHeader::parseV1(const QByteArray& bytes) {
    if (!startsAs(bytes, kV1Start, kV1StartLength))
        return invalid(QStringLiteral("no PROXY header"));
    const qsizetype end = bytes.left(kMaxV1).indexOf("\r\n");
    if (end < 0) {
        if (bytes.size() >= kMaxV1)
            return invalid(QStringLiteral("PROXY line longer than %1 bytes").arg(kMaxV1));
        // A line end in the middle of the line is never completed.
        if (bytes.indexOf('\n') >= 0 || bytes.left(bytes.size() - 1).indexOf('\r') >= 0)
            return invalid(QStringLiteral("PROXY line broken"));
        return {};
    }
    const QByteArray line = bytes.left(end);
    // Refused as it was while incomplete: the line holds no other line end.
    if (line.contains('\r') || line.contains('\n'))
        return invalid(QStringLiteral("PROXY line broken"));
    const QList<QByteArray> fields = line.split(' ');
    Result r;
    r.length = end + 2;
    if (fields.size() >= 2 && fields.at(1) == "UNKNOWN") {
        // The balancer does not know the client: whatever follows on the line is ignored.
        r.state = State::Done;
        r.local = true;
        return r;
    }
    if (fields.size() != 6)
        return invalid(QStringLiteral("PROXY line without its six fields"));
    const QByteArray& family = fields.at(1);
    const bool v4 = family == "TCP4";
    if (!v4 && family != "TCP6")
        return invalid(QStringLiteral("PROXY line with an unknown protocol"));
    for (int i : {2, 3}) {
        if (v4 ? !isDottedQuad(fields.at(i)) : !isIPv6Text(fields.at(i)))
            return invalid(QStringLiteral("PROXY line with a bad address"));
        QHostAddress address;
        const QAbstractSocket::NetworkLayerProtocol want =
            v4 ? QAbstractSocket::IPv4Protocol : QAbstractSocket::IPv6Protocol;
        if (!address.setAddress(QString::fromLatin1(fields.at(i))) || address.protocol() != want)
            return invalid(QStringLiteral("PROXY line with a bad address"));
        if (i == 2)
            r.source = unmapped(address);
    }
    quint16 destinationPort = 0;
    if (!parsePort(fields.at(4), r.sourcePort) || !parsePort(fields.at(5), destinationPort))
        return invalid(QStringLiteral("PROXY line with a bad port"));
    r.state = State::Done;
    return r;
}

ProxyHeader::Result ProxyHeader::parseV2(const QByteArray& bytes) {
    if (!startsAs(bytes, kV2Signature, kV2SignatureLength))
        return invalid(QStringLiteral("no PROXY header"));
    if (bytes.size() < kV2Fixed)
        return {};
    const quint8 versionCommand = static_cast<quint8>(bytes.at(12));
    const quint8 familyProtocol = static_cast<quint8>(bytes.at(13));
    const qsizetype blockLength = bigEndian16(bytes, 14);
    if ((versionCommand >> 4) != 2)
        return invalid(QStringLiteral("PROXY header of an unknown version"));
    const quint8 command = versionCommand & 0x0F;
    if (command > 1)
        return invalid(QStringLiteral("PROXY header with an unknown command"));
    if (blockLength > kMaxV2Block)
        return invalid(QStringLiteral("PROXY header longer than %1 bytes").arg(kV2Fixed + kMaxV2Block));
    const quint8 family = familyProtocol >> 4;
    const quint8 protocol = familyProtocol & 0x0F;
    const qsizetype addressLength = family == 1 ? 12 : family == 2 ? 36 : family == 3 ? 216 : 0;
    if (family > 3 || protocol > 2)
        return invalid(QStringLiteral("PROXY header with an unknown address family"));
    if (command == 1 && blockLength < addressLength)
        return invalid(QStringLiteral("PROXY header shorter than its addresses"));
    if (bytes.size() < kV2Fixed + blockLength)
        return {};
    Result r;
    r.state = State::Done;
    r.length = kV2Fixed + blockLength;
    // LOCAL: the balancer speaks for itself; a Unix socket or no family carries no client address.
    if (command == 0 || family == 0 || family == 3) {
        r.local = true;
        return r;
    }
    if (protocol != 1)
        return invalid(QStringLiteral("PROXY header for something other than a TCP connection"));
    if (family == 1) {
        quint32 v4 = 0;
        for (int i = 0; i < 4; ++i)
            v4 = (v4 << 8) | static_cast<quint8>(bytes.at(kV2Fixed + i));
        r.source = QHostAddress(v4);
        r.sourcePort = bigEndian16(bytes, kV2Fixed + 8);
    } else {
        Q_IPV6ADDR v6;
        for (int i = 0; i < 16; ++i)
            v6[i] = static_cast<quint8>(bytes.at(kV2Fixed + i));
        r.source = unmapped(QHostAddress(v6));
        r.sourcePort = bigEndian16(bytes, kV2Fixed + 32);
    }
    return r;
}

} // namespace memberd
