#pragma once

// The data of a keyed posting as a desk sends it (POSTKY): key, type, card,
// amount, store, bill, station, user, date, approval code and mode, by TABs.
#include <QString>
#include <QStringList>

inline QString postingLine(const QString& key, const char* type, const char* amount, const char* bill,
                           const char* dept, const char* code, const char* mode) {
    return QStringList{key,
                       QString::fromLatin1(type),
                       QStringLiteral("C1"),
                       QString::fromLatin1(amount),
                       QString::fromLatin1(dept),
                       QString::fromLatin1(bill),
                       QStringLiteral("P01"),
                       QStringLiteral("U1"),
                       QStringLiteral("2026/12/08"),
                       QString::fromLatin1(code),
                       QString::fromLatin1(mode)}
        .join(QLatin1Char('\t'));
}
