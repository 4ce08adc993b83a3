#include "print/ExportGrid.h"

#include "common/CodePage.h"
#include "common/Fault.h"

#include <QSaveFile>

namespace tolva {

namespace {
constexpr char kUnit = '\x1f';
}

void ExportGrid::reset(int columns) {
    m_columns = std::max(1, columns);
    m_pool.clear();
    m_rows.clear();
}

void ExportGrid::addLine(const QString& line, const QString& separators) {
    const QChar cellSep = separators.size() > 0 ? separators[0] : QChar(u'|');
    const QChar rowSep = separators.size() > 1 ? separators[1] : QChar(u';');
    QStringView text(line);
    if (!text.isEmpty() && text.back() == rowSep)
        text.chop(1);
    m_rows.push_back(quint32(m_pool.size()));
    int cells = 0;
    qsizetype start = 0;
    while (cells < m_columns) {
        qsizetype end = text.indexOf(cellSep, start);
        const bool last = end < 0;
        if (last)
            end = text.size();
        QString cell = text.mid(start, end - start).toString();
        cell.replace(QChar(u'\x1f'), QChar(u' '));
        m_pool.append(cell.toUtf8());
        m_pool.append(kUnit);
        ++cells;
        if (last)
            break;
        start = end + 1;
    }
}

QStringList ExportGrid::row(int index) const {
    QStringList cells;
    if (index < 0 || index >= rowCount())
        return cells;
    const qsizetype end =
        size_t(index) + 1 < m_rows.size() ? qsizetype(m_rows[size_t(index) + 1]) : m_pool.size();
    qsizetype at = m_rows[size_t(index)];
    while (at < end) {
        const qsizetype stop = m_pool.indexOf(kUnit, at);
        cells << QString::fromUtf8(m_pool.constData() + at, stop - at);
        at = stop + 1;
    }
    while (cells.size() < m_columns)
        cells << QString();
    return cells;
}

QString ExportGrid::csvCell(const QString& cell) {
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') && !cell.contains(u'\r'))
        return cell;
    QString quoted = cell;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

void ExportGrid::writeCsv(const QString& path, const CodePage& codePage) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Fault(Fault::kGeneric, QStringLiteral("無法建立檔案: ") + path + QStringLiteral(" (") +
                                         file.errorString() + u')');
    for (int r = 0; r < rowCount(); ++r) {
        QString line;
        const QStringList cells = row(r);
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (c > 0)
                line += u',';
            line += csvCell(cells[c]);
        }
        line += QStringLiteral("\r\n");
        file.write(codePage.encode(line));
    }
    if (!file.commit())
        throw Fault(Fault::kGeneric, QStringLiteral("無法寫入檔案: ") + path + QStringLiteral(" (") +
                                         file.errorString() + u')');
}

} // namespace tolva
