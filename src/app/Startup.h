#pragma once

#include <QString>

namespace tolva {

class AppContext;

// Steps 2-6 of the program start, between the single-copy check and the main
// window: program folder as the current directory, INI settings, database
// connection, station parameters and the business date.
void sub_Main(AppContext& ctx);

} // namespace tolva
