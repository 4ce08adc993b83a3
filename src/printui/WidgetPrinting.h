#pragma once

#include "print/Printing.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace tolva {

class AppContext;
class PreviewWindow;

// Printers through the print system (QPrinterInfo lists the CUPS queues),
// jobs rendered to PDF and submitted to the queue, the printer dialog
// (QPrintDialog) and the preview window frmVSPBlank, created on first use
// and kept for the run.
class WidgetPrinting : public Printing {
public:
    explicit WidgetPrinting(AppContext& ctx);
    ~WidgetPrinting() override;
    WidgetPrinting(const WidgetPrinting&) = delete;
    WidgetPrinting& operator=(const WidgetPrinting&) = delete;

    void setParent(QWidget* parent) { m_parent = parent; }
    PreviewWindow& frmVSPBlank();

    QStringList printers() override;
    QString defaultPrinter() override;
    void preview(Printout report) override;
    void print(const Document& document, const QString& printer, int fromPage = 0, int toPage = 0) override;
    bool printWithDialog(const Document& document) override;
    void savePdf(const Document& document, const QString& path) override;

private:
    void printRange(const Document& document, const QString& printer, int fromPage, int toPage, int copies);

    AppContext& m_ctx;
    QPointer<QWidget> m_parent;
    std::unique_ptr<PreviewWindow> m_preview;
};

} // namespace tolva
