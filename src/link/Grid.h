#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tolva {

// The working grid of the desk (the hidden fgTMP holds the rows of the last
// card query). Rows count the fixed rows too; cells outside the grid read as "".
class Grid {
public:
    int FixedRows() const { return m_fixedRows; }
    void setFixedRows(int n) {
        m_fixedRows = qMax(0, n);
        if (Rows() < m_fixedRows)
            setRows(m_fixedRows);
    }

    int Cols() const { return m_cols; }
    void setCols(int n) {
        m_cols = qMax(0, n);
        for (QStringList& row : m_cells)
            row.resize(m_cols);
    }

    int Rows() const { return static_cast<int>(m_cells.size()); }
    void setRows(int n) {
        n = qMax(0, n);
        while (m_cells.size() > n)
            m_cells.removeLast();
        while (m_cells.size() < n)
            m_cells.append(QStringList(m_cols, QString()));
    }

    // Appends one row; its TAB-separated fields fill the cells from the left.
    // Fields beyond Cols() are dropped, missing ones stay empty.
    void AddItem(const QString& item) {
        QStringList row = item.split(QLatin1Char('\t'));
        row.resize(m_cols);
        m_cells.append(row);
    }

    QString TextMatrix(int row, int col) const {
        if (row < 0 || row >= Rows() || col < 0 || col >= m_cols)
            return QString();
        return m_cells.at(row).at(col);
    }
    void setTextMatrix(int row, int col, const QString& text) {
        if (row >= 0 && row < Rows() && col >= 0 && col < m_cols)
            m_cells[row][col] = text;
    }

private:
    int m_fixedRows = 0;
    int m_cols = 0;
    QList<QStringList> m_cells;
};

} // namespace tolva
