#include "print/PdfOutput.h"

#include "common/Fault.h"
#include "print/Document.h"
#include "print/Renderer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace tolva {

namespace {
QPageSize pageSizeOf(const Page& page) {
    return QPageSize(QSizeF(page.width / 20.0, page.height / 20.0), QPageSize::Point, QString(),
                     QPageSize::ExactMatch);
}
} // namespace

void savePdf(const Document& document, const QString& path, int fromPage, int toPage) {
    const int first = fromPage < 1 ? 1 : fromPage;
    const int last = toPage < 1 || toPage > document.pageCount() ? document.pageCount() : toPage;
    if (document.pageCount() == 0 || first > last)
        throw Fault(Fault::kGeneric, QStringLiteral("沒有可以輸出的頁面"));
    QPdfWriter writer(path);
    writer.setResolution(1440);
    writer.setCreator(QStringLiteral("TOLVA"));
    writer.setPageLayout(
        QPageLayout(pageSizeOf(document.page(first - 1)), QPageLayout::Portrait, QMarginsF()));
    QPainter painter;
    if (!painter.begin(&writer))
        throw Fault(Fault::kGeneric, QStringLiteral("無法寫入 PDF 檔案: ") + path);
    Renderer renderer(document);
    for (int page = first; page <= last; ++page) {
        if (page > first) {
            writer.setPageLayout(
                QPageLayout(pageSizeOf(document.page(page - 1)), QPageLayout::Portrait, QMarginsF()));
            writer.newPage();
        }
        renderer.drawPage(painter, page - 1, Renderer::zoomFor(writer.resolution()));
    }
    if (!painter.end())
        throw Fault(Fault::kGeneric, QStringLiteral("無法寫入 PDF 檔案: ") + path);
}

} // namespace tolva
