#pragma once

#include "print/Printout.h"

#include <QString>
#include <algorithm>

namespace tolva {

class AppContext;
class Printing;

// The card transaction summary "會員點數明細表" of the report page: the
// transactions of a date range grouped by source store, then the totals per
// store and transaction type, laid out for the bill printer and shown in the
// preview. Its rows also fill the export grid, so "存檔" saves this report.
class SummaryReport {
public:
    SummaryReport(AppContext& ctx, Printing& printing) : m_ctx(ctx), m_printing(printing) {}

    // The report button: checks the bill printer (setting ZEL/KP/CPrinter),
    // builds the report for the date texts as typed (empty: no limit) and
    // shows it; returns when the preview is closed. False when nothing was
    // shown (printer not installed, or a failure reported to the operator).
    bool print(const QString& dateFrom, const QString& dateTo, bool totalsOnly);

    // The report for the printer named, without the printer check and
    // without showing it: compose gives it with its first part composed (the
    // title, the date line and up to chunkRows() detail rows) and the rest
    // left to the printout's more; build composes all of it. Both throw a
    // Fault when the database fails; a failure in a later part is reported
    // to the operator and marks the printout failed.
    Printout compose(const QString& printer, const QString& dateFrom, const QString& dateTo, bool totalsOnly);
    Printout build(const QString& printer, const QString& dateFrom, const QString& dateTo, bool totalsOnly);

    // Detail rows composed per part (at least 1).
    int chunkRows() const { return m_chunkRows; }
    void setChunkRows(int rows) { m_chunkRows = std::max(1, rows); }

    // The statements the report runs for the date texts.
    QString detailSql(const QString& dateFrom, const QString& dateTo) const;
    QString totalsSql(const QString& dateFrom, const QString& dateTo) const;
    QString offlineSql(const QString& dateFrom, const QString& dateTo) const;

    // "加值" for "1", "抵扣" for "2", the code itself otherwise.
    static QString typeName(const QString& type);

private:
    class Composer;

    QString dateConditions(const QString& dateFrom, const QString& dateTo) const;
    // The condition that leaves out the log rows of refused offline postings.
    QString refusedExcluded() const;

    AppContext& m_ctx;
    Printing& m_printing;
    int m_chunkRows = 2000;
};

} // namespace tolva
