#pragma once

#include "print/Printout.h"

#include <QDialog>
#include <QString>
#include <optional>

class QPushButton;
class QScrollArea;
class QTimer;

namespace tolva {

class AppContext;
class PageView;
class Printing;

// The report preview window "frmVSPBlank" (caption "報表預覽畫面"): the
// document of a report (vsp), its rows for the CSV export (fgList), paging,
// printing and saving. A caller composes on vsp() and fills fgList(), or
// hands a finished Printout to showReport(). Every control's objectName and
// accessible description is its control name.
class PreviewWindow : public QDialog {
    Q_OBJECT

public:
    PreviewWindow(AppContext& ctx, Printing& printing, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Public values: the report title (proposed CSV name) and the program
    // code of the page footer.
    QString fvHeader;
    QString fvProgID;

    Document& vsp() { return m_report.document; }
    ExportGrid& fgList() { return m_report.rows; }
    QWidget* control(const QString& name) const;

    // True when a printer of exactly this name (letter case counts) is installed.
    bool IsPrinterInstalled(const QString& pvPrinter);
    // An empty document with the report settings and an empty grid; with a
    // column count the grid has that many columns and "存檔" is offered.
    void ResetPage(std::optional<int> pvFGCols = std::nullopt);
    // Appends a row text to the grid (cells split at the cell separator).
    void AddFGLine(const QString& pvLine);
    // Writes the grid to folder/name.CSV without asking; nothing when the
    // folder does not exist or there is no name.
    void SaveCSV(const QString& pvPath, const std::optional<QString>& pvFileName = std::nullopt);
    // Prints a text (of a text field) or a text file as a document and shows
    // the window without waiting. Paper "Landscape" turns the page.
    void PrintTXT(const QString& text, const QString& pvPaperType = QString());
    void PrintFile(const QString& file, const QString& pvPaperType = QString());

    // Takes the report over and shows it modally from page 1.
    void showReport(Printout report);
    // Takes the report over and shows page 1, without showing the window.
    void loadReport(Printout report);
    // Shows page 1 of the document composed on vsp() without waiting.
    void showDocument();

    int page() const { return m_page; }
    int pageCount() const { return m_report.document.pageCount(); }
    int zoomMode() const { return m_zoomMode; }

public slots:
    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdPrint_Click();
    void cmdPrintPage_Click();
    void cmdSetupPrinter_Click();
    void cmdSaveDoc_Click();
    void cmdExit_Click();
    // The frame's double-click: zoom mode 3 (whole page) and 0 (80 %) in turn.
    void vsFrame_DblClick();

protected:
    // What differs in the decorated twin.
    virtual QString saveDocProcedure() const { return QStringLiteral("frmVSPBlank_cmdSaveDoc_Click"); }
    virtual QString resetSeparators() const { return QStringLiteral("|;"); }
    virtual void textSettings(Document& document);
    // Called whenever vsp() holds a new document.
    virtual void documentReplaced() {}
    // Applies the document settings of ResetPage (bold and alignment only
    // when full is set).
    void documentSettings(bool full);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    AppContext& m_ctx;
    Printing& m_printing;

private:
    QPushButton* button(const QString& name, const QString& caption, void (PreviewWindow::*slot)());
    void showPage(int page);
    void applyZoom();
    void printText(const QString& text, const QString& paperType);
    // A report still being composed: one more part per idle moment, all of
    // it before it is printed or saved or its last page is shown.
    void composeStep();
    bool completeReport();

    Printout m_report;
    QTimer* m_composer = nullptr;
    int m_page = 1;
    int m_zoomMode = 3;
    PageView* m_view = nullptr;
    QScrollArea* m_frame = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_saveDoc = nullptr;
};

} // namespace tolva
