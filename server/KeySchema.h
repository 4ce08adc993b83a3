#pragma once

#include <QString>

namespace tolva {
class Database;
}

namespace memberd {

// The part of the member database that keyed postings need: the key table
// PostKey and the log columns VCardLog.PostKey and VCardLog.AuthCode. Their
// definitions are read from the provider's schema script, the same one a new
// database is made with, so an upgraded database and a new one agree.
class KeySchema {
public:
    // True when the table and both columns are there and this connection may
    // read them.
    static bool present(tolva::Database& db);
    // Adds what is missing, in one transaction; nothing when all is there.
    // done tells what was added ("" when nothing). Throws a tolva::Fault.
    static void upgrade(tolva::Database& db, QString& done);
};

} // namespace memberd
