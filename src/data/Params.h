#pragma once

#include <QString>

namespace tolva {

class DataContext;

// Named parameters of the site database (table xxPARAM), on gCNT.

// True only when the row exists and its value is not empty. value receives
// the row's text when the row exists (null gives the empty text) and is left
// as it was when there is no row, so a caller's default stays in place.
// Failures go to the error file only.
bool getParamValue(DataContext& ctx, const QString& paramID, QString& value);

// Updates the row (ParamValue, UpdDate) and inserts it (ParamID, ParamValue,
// FileDate) only when the update touched nothing. Failures are shown.
bool SetParamValue(DataContext& ctx, const QString& paramID, const QString& value);

} // namespace tolva
