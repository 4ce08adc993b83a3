#pragma once

#include <QChar>
#include <QString>
#include <vector>

namespace tolva {

// A table's column format, e.g. "<900#^500#>800#<1400;": per column an
// alignment mark ('<' left, '^' centred, '>' right; left when missing)
// followed by the width in twips, columns split by the cell separator and
// ended by the row separator. Blanks around an entry are ignored; an entry
// without digits gets the default width.
struct TableFormat {
    struct Column {
        int align = 0; // 0 left, 1 centred, 2 right
        int width = 0;
    };

    static constexpr int kDefaultWidth = 1440;
    // Room between a cell's lines and its text, in twips.
    static constexpr double kPadX = 60;
    static constexpr double kPadY = 30;

    QString source;
    QChar cellSep;
    std::vector<Column> columns;

    static TableFormat parse(const QString& format, QChar cellSep, QChar rowSep);
    int totalWidth() const;
};

// The cells of one row text, split at the cell separator.
std::vector<QStringView> splitCells(QStringView row, QChar cellSep);

} // namespace tolva
