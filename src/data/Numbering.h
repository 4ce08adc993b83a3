#pragma once

#include <QString>

namespace tolva {

class DataContext;

// Hands out the next running number of the series (noCode, noBy) from table
// xxNO on gCNT. The series row is locked from the read until the update
// (SELECT ... FOR UPDATE on PostgreSQL, UPDLOCK on SQL Server, a write
// transaction on SQLite), so two stations never get the same number. A series
// that does not exist yet starts at 1. When two stations start the same
// series at once, the unique key on (NoCode, NoBy) lets only one add it; the
// other retries once and gets the next number.
//
// formatted, when given, receives noBy followed by the number as "-000" up to
// 999 and as "0000" from 1000 on (20050307-005, 200503071000).
//
// Runs its own transaction on gCNT, so call it outside of one. On failure the
// error is shown, false is returned and xxNO is left unchanged.
bool getNoMDB(DataContext& ctx, const QString& noCode, const QString& noBy, qint64& no,
              QString* formatted = nullptr);

// The display form of a running number: noBy + "-000" or "0000" as above.
QString formatNo(const QString& noBy, qint64 no);

} // namespace tolva
