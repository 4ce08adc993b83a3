#pragma once

#include <QRgb>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace tolva {

// A font as a document names it: the face name the report asked for (a
// Windows face name such as "標楷體"), the size in points and the weight.
struct FontStyle {
    QString name = QStringLiteral("Arial");
    double size = 10;
    bool bold = false;

    bool operator==(const FontStyle&) const = default;
};

// One drawing item of a page, fixed size. Geometry is in twips. Texts live in
// the document's text pool (offset and length of their UTF-8 bytes).
struct PageItem {
    enum Kind : quint8 { Text, TableRow, Line, Box, Picture };

    Kind kind = Text;
    quint8 align = 0;   // text alignment code
    quint8 border = 0;  // table border code of a row
    quint8 shaded = 0;  // 1 when shade holds a fill colour
    quint16 style = 0;  // font style index
    quint16 format = 0; // table format index of a row; picture index of a picture
    qint32 x = 0;       // Text, TableRow, Box, Picture: the box; Line: from (x, y) to (w, h)
    qint32 y = 0;
    qint32 w = 0;
    qint32 h = 0;
    quint32 text = 0; // pool offset
    quint32 length = 0;
    QRgb shade = 0;
};

// A page: its paper size and its items in drawing order.
struct Page {
    qint32 width = 0;
    qint32 height = 0;
    std::vector<PageItem> items;
};

} // namespace tolva
