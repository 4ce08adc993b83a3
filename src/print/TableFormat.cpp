#include "print/TableFormat.h"

namespace tolva {

TableFormat TableFormat::parse(const QString& format, QChar cellSep, QChar rowSep) {
    TableFormat result;
    result.source = format;
    result.cellSep = cellSep;
    QStringView text(format);
    const qsizetype end = text.indexOf(rowSep);
    if (end >= 0)
        text = text.left(end);
    for (QStringView entry : splitCells(text, cellSep)) {
        entry = entry.trimmed();
        if (entry.isEmpty() && result.columns.empty() && text.trimmed().isEmpty())
            break;
        Column column;
        if (!entry.isEmpty()) {
            if (entry.front() == u'^')
                column.align = 1;
            else if (entry.front() == u'>')
                column.align = 2;
            if (entry.front() == u'<' || entry.front() == u'^' || entry.front() == u'>')
                entry = entry.mid(1).trimmed();
        }
        bool ok = false;
        const int width = entry.toInt(&ok);
        column.width = ok && width > 0 ? width : kDefaultWidth;
        result.columns.push_back(column);
    }
    return result;
}

int TableFormat::totalWidth() const {
    int total = 0;
    for (const Column& c : columns)
        total += c.width;
    return total;
}

std::vector<QStringView> splitCells(QStringView row, QChar cellSep) {
    std::vector<QStringView> cells;
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = row.indexOf(cellSep, start);
        if (at < 0) {
            cells.push_back(row.mid(start));
            return cells;
        }
        cells.push_back(row.mid(start, at - start));
        start = at + 1;
    }
}

} // namespace tolva
