#include "printui/WidgetPrinting.h"

#include "app/AppContext.h"
#include "common/Fault.h"
#include "print/Document.h"
#include "print/PdfOutput.h"
#include "print/Printout.h"
#include "printui/PreviewWindow.h"
#include "printui/PrintJob.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

namespace tolva {

WidgetPrinting::WidgetPrinting(AppContext& ctx) : m_ctx(ctx) {}
WidgetPrinting::~WidgetPrinting() = default;

PreviewWindow& WidgetPrinting::frmVSPBlank() {
    if (!m_preview)
        m_preview = std::make_unique<PreviewWindow>(m_ctx, *this, m_parent);
    return *m_preview;
}

QStringList WidgetPrinting::printers() {
    return QPrinterInfo::availablePrinterNames();
}

QString WidgetPrinting::defaultPrinter() {
    return QPrinterInfo::defaultPrinterName();
}

void WidgetPrinting::preview(Printout report) {
    frmVSPBlank().showReport(std::move(report));
}

void WidgetPrinting::printRange(const Document& document, const QString& printer, int fromPage, int toPage,
                                int copies) {
    QString name = printer;
    if (name.isEmpty())
        name = document.printer();
    if (name.isEmpty())
        name = defaultPrinter();
    if (name.isEmpty())
        throw Fault(Fault::kGeneric, QStringLiteral("沒有安裝印表機，無法列印"),
                    QStringLiteral("沒有安裝印表機，無法列印，請通知管理人員"));
    if (!isInstalled(name))
        throw Fault(Fault::kGeneric, QStringLiteral("印表機未安裝: ") + name, missingPrinterText(name));
    QTemporaryDir dir;
    if (!dir.isValid())
        throw Fault(Fault::kGeneric, QStringLiteral("無法建立列印暫存檔"));
    const QString pdf = dir.filePath(QStringLiteral("job.pdf"));
    tolva::savePdf(document, pdf, fromPage, toPage);
    submitPdfJob(name, pdf, m_ctx.g.exeName, copies);
}

void WidgetPrinting::print(const Document& document, const QString& printer, int fromPage, int toPage) {
    printRange(document, printer, fromPage, toPage, 1);
}

bool WidgetPrinting::printWithDialog(const Document& document) {
    QPrinter printer;
    const QString chosen = document.printer().isEmpty() ? defaultPrinter() : document.printer();
    if (!chosen.isEmpty())
        printer.setPrinterName(chosen);
    printer.setFromTo(1, document.pageCount());
    QPrintDialog dialog(&printer, m_parent);
    dialog.setMinMax(1, document.pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const bool range = printer.printRange() == QPrinter::PageRange;
    const int from = range ? printer.fromPage() : 0;
    const int to = range ? printer.toPage() : 0;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        tolva::savePdf(document, printer.outputFileName(), from, to);
        return true;
    }
    printRange(document, printer.printerName(), from, to, printer.copyCount());
    return true;
}

void WidgetPrinting::savePdf(const Document& document, const QString& path) {
    tolva::savePdf(document, path);
}

} // namespace tolva
