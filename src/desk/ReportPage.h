#pragma once

#include <QString>

namespace tolva {

class AppContext;
class DeskView;
class Printing;

// The report page "報表": the date range (typed, or picked on the calendar
// by double-clicking a date field) and the summary report of the card
// transactions in it.
class ReportPage {
public:
    ReportPage(AppContext& ctx, DeskView& view, Printing* printing)
        : m_ctx(ctx), m_view(view), m_printing(printing) {}

    void setPrinting(Printing* printing) { m_printing = printing; }

    // "TM88列印": the summary report "會員點數明細表" in the preview.
    void cmdPrintS_Click();
    void txtDateB_DblClick();
    void txtDateE_DblClick();

private:
    void pickDate(const char* procedure, const QString& field);

    AppContext& m_ctx;
    DeskView& m_view;
    Printing* m_printing;
};

} // namespace tolva
