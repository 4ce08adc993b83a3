#include "desk/ReportPage.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"
#include "desk/SummaryReport.h"

namespace tolva {

void ReportPage::cmdPrintS_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdPrintS_Click"), [&] {
        if (!m_printing)
            throw Fault(Fault::kGeneric, QStringLiteral("此程式沒有列印功能"));
        SummaryReport report(m_ctx, *m_printing);
        report.print(m_view.text(ctl::txtDateB), m_view.text(ctl::txtDateE), m_view.isChecked(ctl::Check1));
    });
}

void ReportPage::txtDateB_DblClick() {
    pickDate("fmTOLVA_txtDateB_DblClick", ctl::txtDateB);
}

void ReportPage::txtDateE_DblClick() {
    pickDate("fmTOLVA_txtDateE_DblClick", ctl::txtDateE);
}

// The calendar opens on the field's date; the day touched is written in the
// site's date style, and cancelling leaves the field as it was.
void ReportPage::pickDate(const char* procedure, const QString& field) {
    guardVoid(m_ctx.reporter, Report::Msg, QString::fromLatin1(procedure), [&] {
        const QString shown = m_view.text(field);
        const QString stored = DBDateSave(m_ctx.g, shown);
        QDate picked;
        if (m_ctx.dialogs.PickDate(picked, stored.isEmpty() ? std::nullopt : std::optional<QVariant>(stored)))
            m_view.setText(field, DBDateDisp(m_ctx.g, picked));
    });
}

} // namespace tolva
