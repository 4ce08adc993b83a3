#include "print/Renderer.h"

#include "print/Document.h"
#include "print/PrintFonts.h"

#include <QPen>
#include <cmath>

namespace tolva {

namespace {

constexpr double kLineWidth = 10; // half a point

Qt::Alignment horizontal(int code) {
    switch (code % 3) {
    case 1:
        return Qt::AlignHCenter;
    case 2:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

Qt::Alignment vertical(int code) {
    switch ((code / 3) % 3) {
    case 1:
        return Qt::AlignBottom;
    case 2:
        return Qt::AlignVCenter;
    default:
        return Qt::AlignTop;
    }
}

} // namespace

const QFont& Renderer::font(int style) {
    if (size_t(style) >= m_fonts.size()) {
        m_fonts.resize(size_t(style) + 1);
        m_made.resize(size_t(style) + 1, false);
    }
    if (!m_made[size_t(style)]) {
        m_fonts[size_t(style)] = printFont(m_doc.style(style));
        m_made[size_t(style)] = true;
    }
    return m_fonts[size_t(style)];
}

void Renderer::drawRow(QPainter& painter, const PageItem& item) {
    const TableFormat& format = m_doc.format(item.format);
    const QString row = m_doc.text(item);
    const std::vector<QStringView> cells = splitCells(row, format.cellSep);
    if (item.shaded)
        painter.fillRect(QRectF(item.x, item.y, item.w, item.h), QColor::fromRgb(item.shade));
    painter.setFont(font(item.style));
    double x = item.x;
    for (size_t i = 0; i < format.columns.size(); ++i) {
        const TableFormat::Column& column = format.columns[i];
        const QRectF cell(x, item.y, column.width, item.h);
        if (item.border != 0)
            painter.drawRect(cell);
        if (i < cells.size() && !cells[i].isEmpty()) {
            const QRectF room = cell.adjusted(TableFormat::kPadX, TableFormat::kPadY, -TableFormat::kPadX,
                                              -TableFormat::kPadY);
            painter.drawText(room,
                             int(horizontal(column.align) | vertical(item.align)) | Qt::TextWordWrap |
                                 Qt::TextWrapAnywhere,
                             cells[i].toString());
        }
        x += column.width;
    }
}

void Renderer::drawPage(QPainter& painter, int index, double zoom, bool paper) {
    if (index < 0 || index >= m_doc.pageCount())
        return;
    const Page& page = m_doc.page(index);
    painter.save();
    painter.scale(zoom, zoom);
    if (paper)
        painter.fillRect(QRectF(0, 0, page.width, page.height), Qt::white);
    QPen pen(Qt::black);
    pen.setWidthF(kLineWidth);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const PageItem& item : page.items) {
        switch (item.kind) {
        case PageItem::Text:
            painter.setFont(font(item.style));
            painter.drawText(QRectF(item.x, item.y, item.w, item.h),
                             int(horizontal(item.align) | Qt::AlignTop) | Qt::TextDontClip, m_doc.text(item));
            break;
        case PageItem::TableRow:
            drawRow(painter, item);
            break;
        case PageItem::Line:
            painter.drawLine(QPointF(item.x, item.y), QPointF(item.w, item.h));
            break;
        case PageItem::Box:
            painter.drawRect(QRectF(item.x, item.y, item.w, item.h));
            break;
        case PageItem::Picture:
            painter.drawImage(QRectF(item.x, item.y, item.w, item.h), m_doc.picture(item.format));
            break;
        }
    }
    painter.restore();
}

QImage Renderer::pageImage(int index, double dpi) {
    if (index < 0 || index >= m_doc.pageCount())
        return QImage();
    const Page& page = m_doc.page(index);
    const double zoom = zoomFor(dpi);
    QImage image(int(std::ceil(page.width * zoom)), int(std::ceil(page.height * zoom)), QImage::Format_RGB32);
    image.fill(Qt::white);
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    QPainter painter(&image);
    drawPage(painter, index, zoom);
    painter.end();
    return image;
}

} // namespace tolva
