#pragma once

#include <QString>

namespace tolva {

// The text with the value of every "Password=" and "PWD=" pair (letter case
// ignored, as connection strings are read) replaced by "****", so a
// connection string can be reported without its password.
QString maskPasswords(const QString& text);

} // namespace tolva
