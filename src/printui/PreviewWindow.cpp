#include "printui/PreviewWindow.h"

#include "app/AppContext.h"
#include "common/Fault.h"
#include "common/Guard.h"
#include "common/Utilities.h"
#include "dialogs/WindowScale.h"
#include "print/Printing.h"
#include "printui/PageView.h"

#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace tolva {

namespace {
// Buttons sized for a finger on a touch till.
constexpr int kButtonHeight = 48;
// A job the print queue took; the message closes by itself.
const QString kPrintSent = QStringLiteral("已送出列印");

void nameControl(QWidget* widget, const QString& name, const QString& caption = QString()) {
    widget->setObjectName(name);
    widget->setAccessibleDescription(name);
    if (!caption.isEmpty())
        widget->setAccessibleName(caption);
}
} // namespace

PreviewWindow::PreviewWindow(AppContext& ctx, Printing& printing, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_printing(printing) {
    nameControl(this, QStringLiteral("frmVSPBlank"), QStringLiteral("報表預覽畫面"));
    setWindowTitle(QStringLiteral("報表預覽畫面"));
    setModal(true);

    auto* buttons = new QHBoxLayout;
    button(QStringLiteral("cmdFirst"), QStringLiteral("第一頁"), &PreviewWindow::cmdFirst_Click);
    button(QStringLiteral("cmdPrevious"), QStringLiteral("上一頁"), &PreviewWindow::cmdPrevious_Click);
    button(QStringLiteral("cmdNext"), QStringLiteral("下一頁"), &PreviewWindow::cmdNext_Click);
    button(QStringLiteral("cmdLast"), QStringLiteral("最後一頁"), &PreviewWindow::cmdLast_Click);
    m_print = button(QStringLiteral("cmdPrint"), QStringLiteral("&P 列印"), &PreviewWindow::cmdPrint_Click);
    button(QStringLiteral("cmdPrintPage"), QStringLiteral("列印本頁"), &PreviewWindow::cmdPrintPage_Click);
    button(QStringLiteral("cmdSetupPrinter"), QStringLiteral("指定印表機"),
           &PreviewWindow::cmdSetupPrinter_Click);
    m_saveDoc =
        button(QStringLiteral("cmdSaveDoc"), QStringLiteral("存檔"), &PreviewWindow::cmdSaveDoc_Click);
    button(QStringLiteral("cmdExit"), QStringLiteral("離開"), &PreviewWindow::cmdExit_Click);
    for (const char* name : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast", "cmdPrint", "cmdPrintPage",
                             "cmdSetupPrinter", "cmdSaveDoc", "cmdExit"}) {
        buttons->addWidget(control(QString::fromLatin1(name)));
        if (QByteArray(name) == "cmdLast" || QByteArray(name) == "cmdSetupPrinter")
            buttons->addSpacing(16);
    }
    buttons->addStretch();

    m_frame = new QScrollArea;
    nameControl(m_frame, QStringLiteral("vsFrame"));
    m_frame->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_frame->setBackgroundRole(QPalette::Dark);
    m_view = new PageView;
    nameControl(m_view, QStringLiteral("vsp"));
    m_view->setDocument(&m_report.document);
    m_frame->setWidget(m_view);
    m_frame->viewport()->installEventFilter(this);
    connect(m_view, &PageView::doubleClicked, this, &PreviewWindow::vsFrame_DblClick);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_frame, 1);
    resize(900, 700);
    // Grows with the window it serves, like the main window on a larger screen.
    ScaleWithOwner(this, parent);
    m_saveDoc->setVisible(false);
    m_composer = new QTimer(this);
    m_composer->setInterval(0);
    connect(m_composer, &QTimer::timeout, this, &PreviewWindow::composeStep);
    showPage(1);
}

PreviewWindow::~PreviewWindow() = default;

QPushButton* PreviewWindow::button(const QString& name, const QString& caption,
                                   void (PreviewWindow::*slot)()) {
    auto* b = new QPushButton(caption, this);
    nameControl(b, name, caption);
    b->setAutoDefault(false);
    b->setMinimumHeight(kButtonHeight);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
}

QWidget* PreviewWindow::control(const QString& name) const {
    if (objectName() == name)
        return const_cast<PreviewWindow*>(this);
    return findChild<QWidget*>(name);
}

void PreviewWindow::showPage(int page) {
    m_page = page;
    m_view->setPage(page - 1);
    applyZoom();
}

void PreviewWindow::applyZoom() {
    m_view->setZoom(m_zoomMode, 80, m_frame->viewport()->size());
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    // The whole page fits the frame as the frame is now.
    if (watched == m_frame->viewport() && event->type() == QEvent::Resize)
        applyZoom();
    return QDialog::eventFilter(watched, event);
}

void PreviewWindow::cmdFirst_Click() {
    showPage(1);
}

void PreviewWindow::composeStep() {
    if (m_report.more && m_report.more(m_report))
        return;
    m_composer->stop();
    m_report.more = nullptr;
    if (m_report.failed)
        cmdExit_Click();
}

bool PreviewWindow::completeReport() {
    if (m_report.complete())
        return !m_report.failed;
    m_ctx.dialogs.busyPointer();
    while (m_report.more && m_report.more(m_report)) {
    }
    m_report.more = nullptr;
    m_composer->stop();
    m_ctx.dialogs.normalPointer();
    if (m_report.failed) {
        cmdExit_Click();
        return false;
    }
    return true;
}

void PreviewWindow::hideEvent(QHideEvent* event) {
    // A report left unfinished lets go of its database cursor.
    m_composer->stop();
    m_report.more = nullptr;
    QDialog::hideEvent(event);
}

void PreviewWindow::cmdLast_Click() {
    if (!completeReport())
        return;
    showPage(std::max(1, pageCount()));
}

void PreviewWindow::cmdNext_Click() {
    if (m_page >= pageCount())
        return;
    showPage(m_page + 1);
}

void PreviewWindow::cmdPrevious_Click() {
    if (m_page <= 1)
        return;
    showPage(m_page - 1);
}

void PreviewWindow::cmdPrint_Click() {
    if (!completeReport())
        return;
    m_print->setEnabled(false);
    m_ctx.dialogs.busyPointer();
    // Printing is one step: a refusal is told, with nothing left to ask.
    bool sent = false;
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("cmdPrint_Click"), [&] {
        m_printing.print(vsp(), vsp().printer());
        sent = true;
    });
    m_print->setEnabled(true);
    m_ctx.dialogs.normalPointer();
    if (sent)
        m_ctx.dialogs.ShowMsg(kPrintSent);
}

void PreviewWindow::cmdPrintPage_Click() {
    if (!completeReport())
        return;
    bool sent = false;
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("cmdPrintPage_Click"), [&] {
        m_printing.print(vsp(), vsp().printer(), m_page, m_page);
        sent = true;
    });
    if (sent)
        m_ctx.dialogs.ShowMsg(kPrintSent);
}

void PreviewWindow::cmdSetupPrinter_Click() {
    if (!completeReport() || pageCount() == 0)
        return;
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("cmdSetupPrinter_Click"),
              [&] { m_printing.printWithDialog(vsp()); });
}

void PreviewWindow::cmdSaveDoc_Click() {
    if (!completeReport())
        return;
    guardVoid(m_ctx.reporter, Report::Msg, saveDocProcedure(), [&] {
        const QString proposed = fvHeader.isEmpty() ? m_ctx.g.exeName + QStringLiteral("報表輸出") : fvHeader;
        const std::optional<QString> path =
            m_ctx.dialogs.saveFileDialog(QStringLiteral("csv檔案(*.csv)|*.csv|所有檔案|*.*|"), proposed);
        // Only a full path is saved; the name is used as typed.
        if (!path || !(path->contains(u'/') || path->contains(u'\\')))
            return;
        fgList().writeCsv(*path, m_ctx.codePage);
        m_ctx.dialogs.ShowMsg(QStringLiteral("已存檔 ") + *path);
    });
}

void PreviewWindow::cmdExit_Click() {
    if (isModal() && isVisible())
        done(QDialog::Rejected);
    else
        hide();
}

void PreviewWindow::vsFrame_DblClick() {
    m_zoomMode = m_zoomMode != 0 ? 0 : 3;
    applyZoom();
}

bool PreviewWindow::IsPrinterInstalled(const QString& pvPrinter) {
    return guard(m_ctx.reporter, Report::Msg, QStringLiteral("IsPrinterInstalled"), false,
                 [&] { return m_printing.isInstalled(pvPrinter, Qt::CaseSensitive); });
}

void PreviewWindow::documentSettings(bool full) {
    Document& d = vsp();
    d.setTableSeparators(resetSeparators());
    d.setMarginTop(1200);
    d.setMarginBottom(1000);
    d.setFontName(QStringLiteral("標楷體"));
    d.setFontSize(10);
    if (full) {
        d.setFontBold(false);
        d.setTextAlign(6);
    }
}

void PreviewWindow::ResetPage(std::optional<int> pvFGCols) {
    guardVoid(m_ctx.reporter, Report::Log, QStringLiteral("frmPrint_ResetPage"), [&] {
        Document fresh;
        fresh.setPrinter(vsp().printer());
        vsp() = std::move(fresh);
        documentReplaced();
        documentSettings(true);
        m_zoomMode = 3;
        fgList().reset(pvFGCols.value_or(100));
        m_saveDoc->setVisible(pvFGCols.has_value());
        showPage(1);
    });
}

void PreviewWindow::AddFGLine(const QString& pvLine) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("frmPrint_AddFGLine"),
              [&] { fgList().addLine(pvLine, vsp().tableSeparators()); });
}

void PreviewWindow::SaveCSV(const QString& pvPath, const std::optional<QString>& pvFileName) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("frmPrint_SaveCSV"), [&] {
        if (!IsDirectory(pvPath))
            return;
        const QString name = pvFileName.value_or(fvHeader);
        if (name.isEmpty())
            return;
        fgList().writeCsv(AddPathSep(pvPath, QStringLiteral("/")) + name + QStringLiteral(".CSV"),
                          m_ctx.codePage);
    });
}

void PreviewWindow::textSettings(Document& document) {
    document.setFontName(QStringLiteral("標楷體"));
    document.setFontSize(10);
}

void PreviewWindow::printText(const QString& text, const QString& paperType) {
    Document& d = vsp();
    d.setOrientation(paperType == QLatin1String("Landscape") ? 1 : 0);
    textSettings(d);
    d.startDoc();
    d.printText(text);
    d.endDoc();
    showDocument();
}

void PreviewWindow::PrintTXT(const QString& text, const QString& pvPaperType) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("PrintTXT"), [&] { printText(text, pvPaperType); });
}

void PreviewWindow::PrintFile(const QString& file, const QString& pvPaperType) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("PrintFile"), [&] {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            throw Fault(Fault::kGeneric, QStringLiteral("無法開啟檔案: ") + file);
        printText(m_ctx.codePage.decode(f.readAll()), pvPaperType);
    });
}

void PreviewWindow::showReport(Printout report) {
    loadReport(std::move(report));
    exec();
}

void PreviewWindow::loadReport(Printout report) {
    m_report = std::move(report);
    documentReplaced();
    fvHeader = m_report.header;
    m_saveDoc->setVisible(m_report.exportable);
    m_view->setDocument(&m_report.document);
    showPage(1);
    if (m_report.more)
        m_composer->start();
}

void PreviewWindow::showDocument() {
    m_view->setDocument(&m_report.document);
    showPage(1);
    show();
    raise();
}

} // namespace tolva
