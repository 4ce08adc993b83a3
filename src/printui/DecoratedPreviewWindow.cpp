#include "printui/DecoratedPreviewWindow.h"

#include "app/AppContext.h"
#include "common/Guard.h"
#include "common/Utilities.h"
#include "print/PageDecoration.h"

namespace tolva {

DecoratedPreviewWindow::DecoratedPreviewWindow(AppContext& ctx, Printing& printing, QWidget* parent)
    : PreviewWindow(ctx, printing, parent) {
    setObjectName(QStringLiteral("frmPrint"));
    setAccessibleDescription(QStringLiteral("frmPrint"));
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("frmPrint_Form_Load"), [&] {
        if (IsFileExist(m_ctx.g.gLogoFile))
            m_logo.load(m_ctx.g.gLogoFile);
        documentReplaced();
        documentSettings(false);
    });
}

void DecoratedPreviewWindow::textSettings(Document& document) {
    document.setFontSize(9);
    document.setMarginLeft(1200);
    document.setMarginRight(1200);
}

void DecoratedPreviewWindow::documentReplaced() {
    vsp().setEndDocHandler([this](Document& document) { decorate(document); });
}

void DecoratedPreviewWindow::decorate(Document& document) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("frmPrint_vsp_EndDoc"), [&] {
        PageDecoration decoration{m_ctx.g.gCustName, fvHeader, fvProgID, m_ctx.clock.now(), m_logo};
        decoration.apply(document);
    });
}

} // namespace tolva
