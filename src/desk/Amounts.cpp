#include "desk/Amounts.h"

#include "common/Formatting.h"

#include <QRegularExpression>
#include <cmath>

namespace tolva {

std::optional<double> decimalValue(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    const QString trimmed = text.trimmed();
    if (!decimal.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString postingAmountRefusal(double value) {
    constexpr qsizetype kMaxWholeDigits = 12;
    constexpr qsizetype kMaxDecimals = 2;
    const QString plain = plainNumber(value);
    const qsizetype point = plain.indexOf(QLatin1Char('.'));
    const qsizetype whole = point < 0 ? plain.size() : point;
    if (whole > kMaxWholeDigits)
        return QStringLiteral("金額過大");
    if (point >= 0 && plain.size() - point - 1 > kMaxDecimals)
        return QStringLiteral("金額最多兩位小數");
    return QString();
}

QString formatBalance(double value) {
    const double rounded = value < 0 ? -std::floor(-value + 0.5) : std::floor(value + 0.5);
    QString digits = QString::number(std::fabs(rounded), 'f', 0);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return (rounded < 0 ? QStringLiteral("-") : QString()) + digits;
}

QString groupedAmount(double value) {
    QString text = plainNumber(std::fabs(value));
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    for (qsizetype at = (point < 0 ? text.size() : point) - 3; at > 0; at -= 3)
        text.insert(at, QLatin1Char(','));
    return (value < 0 ? QStringLiteral("-") : QString()) + text;
}

DepositSplit depositSplit(double paid) {
    struct Tier {
        double amount;
        double rate;
        const char* percent;
    };
    static constexpr Tier kTiers[] = {{5000, 1.05, "105%"}, {10000, 1.08, "108%"}, {20000, 1.1, "110%"}};
    DepositSplit split{paid, paid, QString()};
    for (const Tier& tier : kTiers) {
        if (paid != tier.amount)
            continue;
        split.credited = paid * tier.rate;
        split.rule = plainNumber(paid) + QStringLiteral(" * ") + QLatin1String(tier.percent) +
                     QStringLiteral(" = ") + plainNumber(split.credited);
    }
    return split;
}

double shownBalance(const QString& text) {
    return numericValue(QString(text).remove(QLatin1Char(',')));
}

bool exceedsBalance(double amount, double balance) {
    return qRound64(amount * 100) > qRound64(balance * 100);
}

} // namespace tolva
