#pragma once

#include <QString>
#include <optional>

namespace tolva {

class AppContext;

// The log-on name of the process owner; empty when it cannot be found.
QString GetLoginUser();

// Chooses the INI, log and error files (by which of name and folder are
// given), trims the log and error files, and reads section "PARAM" of the INI
// file into the globals.
void InitGlobal(AppContext& ctx, const std::optional<QString>& iniName = std::nullopt,
                const std::optional<QString>& iniFolder = std::nullopt);

} // namespace tolva
