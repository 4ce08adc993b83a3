#include "printui/PageView.h"

#include "print/Document.h"
#include "print/Renderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tolva {

namespace {
constexpr int kGap = 8; // grey frame around the paper, in pixels
}

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(false);
}

void PageView::setDocument(const Document* document) {
    m_doc = document;
    m_page = 0;
    fit();
}

void PageView::setPage(int index) {
    m_page = index;
    fit();
}

void PageView::setZoom(int mode, int percent, QSize frame) {
    m_mode = mode;
    m_percent = percent;
    m_frame = frame;
    fit();
}

void PageView::fit() {
    int width = 11906;
    int height = 16838;
    if (m_doc && m_page >= 0 && m_page < m_doc->pageCount()) {
        width = m_doc->page(m_page).width;
        height = m_doc->page(m_page).height;
    }
    if (m_mode == 0) {
        m_zoom = logicalDpiX() / 1440.0 * m_percent / 100.0;
    } else {
        const double zx = double(std::max(1, m_frame.width() - 2 * kGap)) / width;
        const double zy = double(std::max(1, m_frame.height() - 2 * kGap)) / height;
        m_zoom = std::min(zx, zy);
    }
    const QSize paper(int(std::ceil(width * m_zoom)) + 2 * kGap, int(std::ceil(height * m_zoom)) + 2 * kGap);
    setFixedSize(m_mode == 0 ? paper : paper.expandedTo(m_frame));
    update();
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    if (!m_doc || m_page < 0 || m_page >= m_doc->pageCount())
        return;
    const int paperWidth = int(std::ceil(m_doc->page(m_page).width * m_zoom));
    painter.translate(std::max(kGap, (width() - paperWidth) / 2), kGap);
    Renderer(*m_doc).drawPage(painter, m_page, m_zoom);
}

void PageView::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

} // namespace tolva
