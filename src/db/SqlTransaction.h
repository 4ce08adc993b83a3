#pragma once

#include "db/Database.h"

namespace tolva {

// Begins a transaction and rolls it back unless commit() was called.
class SqlTransaction {
public:
    explicit SqlTransaction(Database& db) : m_db(db) { m_db.begin(); }
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_done = false;
};

} // namespace tolva
