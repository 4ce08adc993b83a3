#pragma once

#include <QString>

namespace tolva {

// The key of one posting intent: store, POS id, bill, type and amount, each
// kept to letters, digits, "-" and "_" and cut to 16 characters, then 16
// random hex digits, joined by ".". At most 100 characters of plain ASCII.
QString makePostingKey(const QString& store, const QString& posId, const QString& bill, const QString& type,
                       const QString& amount);

} // namespace tolva
