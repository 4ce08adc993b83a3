#pragma once

#include <QString>

namespace tolva {

// An amount in a number format such as "#,##0" or "#,##0.00": grouped by
// thousands when the format has a ",", with as many decimals as the format
// has digit places after its ".", rounded half away from zero.
QString formatAmount(double value, const QString& format);

} // namespace tolva
