#pragma once

#include <QString>

namespace tolva {

class AppContext;
class Database;
class Reporter;

// Opens gCNT from the INI key "GCNT" (asking for the password of a SQL Server
// string that has none). True when the connection is open; what differs
// between database products is then read from gCNT.dialect().
bool InitINIgCNT(AppContext& ctx);

// Opens the connection; failures go to the error file only. True when open.
bool ConnectADO(const QString& connectionString, Database& connection, Reporter& reporter);

} // namespace tolva
