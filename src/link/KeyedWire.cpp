#include "link/KeyedWire.h"

#include "common/PostingRecord.h"

#include <QStringList>

namespace tolva::keyedwire {

namespace {
QString clean(QString value) {
    for (QChar& c : value)
        if (c == u'\t' || c == u';' || c == u'\r' || c == u'\n' || c == QChar(0x03))
            c = u' ';
    return value;
}
} // namespace

QString postData(const PostingRecord& p, bool offline) {
    const QStringList fields{p.key,
                             p.type,
                             p.cardNo,
                             p.amount,
                             p.txnDept,
                             p.billNo,
                             p.posId,
                             p.userId,
                             p.txnDate.toString(QStringLiteral("yyyy/MM/dd")),
                             p.authCode,
                             offline ? QStringLiteral("O") : QStringLiteral("N")};
    QStringList cleaned;
    for (const QString& field : fields)
        cleaned.append(clean(field));
    return cleaned.join(u'\t');
}

std::optional<KeyedAnswer> parseAnswer(const QString& data) {
    const QStringList rows = data.split(u';');
    if (rows.size() < 2 || rows.at(0) != QLatin1String("Outcome\tReplay"))
        return std::nullopt;
    const QStringList fields = rows.at(1).split(u'\t');
    if (fields.size() != 2 || fields.at(0).size() != 1 ||
        (fields.at(1) != QLatin1String("0") && fields.at(1) != QLatin1String("1")))
        return std::nullopt;
    KeyedAnswer answer;
    answer.replay = fields.at(1) == QLatin1String("1");
    switch (fields.at(0).at(0).toLatin1()) {
    case 'P':
        answer.outcome = PostOutcome::Posted;
        break;
    case 'S':
        answer.outcome = PostOutcome::Short;
        break;
    case 'N':
        answer.outcome = PostOutcome::NoCard;
        break;
    case 'X':
        answer.outcome = PostOutcome::Voided;
        break;
    default:
        return std::nullopt;
    }
    return answer;
}

} // namespace tolva::keyedwire
