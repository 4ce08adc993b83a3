#include "server/Protocol.h"

#include "common/CodePage.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>

namespace memberd {

Request Request::parse(const QByteArray& message) {
    Request r;
    r.prefix = message.left(4);
    r.command = message.mid(4, 6).toUpper();
    r.data = message.mid(12);
    r.wellFormed = message.size() >= 12;
    return r;
}

QString cleanValue(QString text) {
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t' || u == u';' || u == u'\r' || u == u'\n' || u == 0x03)
            c = QLatin1Char(' ');
    }
    return text;
}

QString valueText(const QVariant& value) {
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

namespace {

QByteArray header(const QByteArray& prefix, const QByteArray& command, const char* resultCode, qint64 count,
                  qsizetype dataSize) {
    QByteArray out;
    out.reserve(19 + dataSize);
    out += prefix.leftJustified(4, ' ', true);
    out += command.leftJustified(6, ' ', true);
    out += resultCode;
    out += QByteArray::number(std::clamp<qint64>(count, 0, 999999)).rightJustified(6, '0');
    return out;
}

} // namespace

QByteArray reply(const tolva::CodePage& codePage, const QByteArray& prefix, const QByteArray& command,
                 const char* resultCode, qint64 count, const QString& data) {
    QByteArray out = header(prefix, command, resultCode, count, data.size() * 2);
    if (!data.isEmpty())
        out += codePage.encode(data);
    out += kEnd;
    return out;
}

QByteArray replyFromUtf8(const tolva::CodePage& codePage, const QByteArray& prefix, const QByteArray& command,
                         const char* resultCode, qint64 count, const QByteArray& utf8) {
    QByteArray out = header(prefix, command, resultCode, count, utf8.size());
    if (!utf8.isEmpty())
        out += codePage.encodeUtf8(utf8);
    out += kEnd;
    return out;
}

bool constantTimeEquals(const QByteArray& a, const QByteArray& b) {
    const qsizetype n = std::max(a.size(), b.size());
    unsigned diff = a.size() == b.size() ? 0u : 1u;
    for (qsizetype i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(i < a.size() ? a.at(i) : 0);
        const auto y = static_cast<unsigned char>(i < b.size() ? b.at(i) : 0);
        diff |= static_cast<unsigned>(x ^ y);
    }
    return diff == 0;
}

} // namespace memberd
