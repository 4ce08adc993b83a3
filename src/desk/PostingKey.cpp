#include "desk/PostingKey.h"

#include "common/PostingKeyPart.h"

#include <QRandomGenerator>
#include <QStringList>

namespace tolva {

QString makePostingKey(const QString& store, const QString& posId, const QString& bill, const QString& type,
                       const QString& amount) {
    const quint64 random = QRandomGenerator::system()->generate64();
    return QStringList{postingKeyPart(store),  postingKeyPart(posId),
                       postingKeyPart(bill),   postingKeyPart(type),
                       postingKeyPart(amount), QStringLiteral("%1").arg(random, 16, 16, QLatin1Char('0'))}
        .join(u'.');
}

} // namespace tolva
