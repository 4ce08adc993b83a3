#include "desk/PostingKey.h"

#include <QRandomGenerator>
#include <QStringList>

namespace tolva {

namespace {
QString keyPart(const QString& text) {
    QString part = text.left(16);
    for (QChar& c : part) {
        const char16_t u = c.unicode();
        const bool plain = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                           u == u'-' || u == u'_';
        if (!plain)
            c = u'_';
    }
    return part;
}
} // namespace

QString makePostingKey(const QString& store, const QString& posId, const QString& bill, const QString& type,
                       const QString& amount) {
    const quint64 random = QRandomGenerator::system()->generate64();
    return QStringList{keyPart(store),  keyPart(posId),
                       keyPart(bill),   keyPart(type),
                       keyPart(amount), QStringLiteral("%1").arg(random, 16, 16, QLatin1Char('0'))}
        .join(u'.');
}

} // namespace tolva
