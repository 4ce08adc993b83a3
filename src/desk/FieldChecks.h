#pragma once

#include <QList>
#include <QString>

namespace tolva {

// A value the desk writes into a statement, with the name the operator knows
// it by and the length of the column it lands in (0: no column limit).
struct FieldRule {
    QString label;
    int maxLength = 0;
};

// Why a value may not be sent, in the operator's words; empty when it may.
// Control characters are refused everywhere: the request terminator (code 3)
// would end a request early and let the rest run as a statement of its own,
// and NUL cuts a value short. A value longer than its column would fail at the
// database after the balance had already moved.
QString fieldRefusal(const FieldRule& rule, const QString& value);

// True when the text holds a character below code 32 or DEL.
bool hasControlChar(const QString& text);

// The rules of the values the desk writes, by column.
namespace field {
FieldRule cardNo();
FieldRule custName();
FieldRule tel();
FieldRule zip();
FieldRule address();
FieldRule storeCode();
FieldRule billNo();
FieldRule txnDept();
FieldRule posId();
FieldRule userId();
FieldRule authCode();
} // namespace field

} // namespace tolva
