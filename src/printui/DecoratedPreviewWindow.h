#pragma once

#include "printui/PreviewWindow.h"

#include <QImage>

class QLabel;

namespace tolva {

// The twin preview window "frmPrint": the same controls and operations, plus
// the logo picture imgLogo and a decoration of every page when a document
// ends (site name, title, print time, program code, "頁次:i/n", logo). Its
// table separators are "#;", its text printouts use size 9 and margins of
// 1200.
class DecoratedPreviewWindow : public PreviewWindow {
    Q_OBJECT

public:
    DecoratedPreviewWindow(AppContext& ctx, Printing& printing, QWidget* parent = nullptr);

    const QImage& imgLogo() const { return m_logo; }

protected:
    QString saveDocProcedure() const override { return QStringLiteral("frmPrint_cmdSaveDoc_Click"); }
    QString resetSeparators() const override { return QStringLiteral("#;"); }
    void textSettings(Document& document) override;
    void documentReplaced() override;

private:
    void decorate(Document& document);

    QImage m_logo;
};

} // namespace tolva
