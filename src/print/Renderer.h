#pragma once

#include "print/PageItem.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <vector>

namespace tolva {

class Document;

// Draws one page of a Document with QPainter on any paint device (the
// preview's widget, a QImage, a QPdfWriter, a printer). The painter's units
// are scaled from twips by the zoom: device units per twip.
class Renderer {
public:
    explicit Renderer(const Document& document) : m_doc(document) {}

    // Draws page index (0-based) with its top-left corner at the painter's
    // origin; white paper first when paper is set.
    void drawPage(QPainter& painter, int index, double zoom, bool paper = true);

    // The page as an image at dots per inch (the image carries that DPI).
    QImage pageImage(int index, double dpi);

    // Device units per twip for a device of the given dots per inch.
    static double zoomFor(double dpi) { return dpi / 1440.0; }

private:
    const QFont& font(int style);
    void drawRow(QPainter& painter, const PageItem& item);

    const Document& m_doc;
    std::vector<QFont> m_fonts;
    std::vector<bool> m_made;
};

} // namespace tolva
