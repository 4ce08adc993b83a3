#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace tolva {

class CodePage;

// The rows a report hands to its CSV export (the preview window's grid
// "fgList"). Rows are kept compactly (one UTF-8 pool), so a report of a
// million rows costs tens of megabytes, not hundreds.
class ExportGrid {
public:
    // Empty grid of the given column count (at least 1).
    void reset(int columns);
    int columnCount() const { return m_columns; }
    int rowCount() const { return int(m_rows.size()); }

    // Adds one row from a row text: a final row separator (the second
    // character of separators) is dropped, the rest splits into cells at the
    // cell separator (the first). Cells beyond the column count are dropped,
    // missing cells are empty. An empty text adds an empty row.
    void addLine(const QString& line, const QString& separators);
    // The cells of a row, always columnCount() of them.
    QStringList row(int index) const;

    // The grid as CSV in the code page: cells in column order separated by
    // commas, a cell with a comma, a double quote or a line break in double
    // quotes (quotes inside doubled), every line ended by CR LF. Throws a
    // Fault when the file cannot be written.
    void writeCsv(const QString& path, const CodePage& codePage) const;
    static QString csvCell(const QString& cell);

private:
    int m_columns = 100;
    QByteArray m_pool;           // cells in UTF-8, each ended by a 0x1F unit separator
    std::vector<quint32> m_rows; // pool offset of each row
};

} // namespace tolva
