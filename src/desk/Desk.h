#pragma once

#include "desk/CustomerPanel.h"
#include "desk/DeskLink.h"
#include "desk/DeskState.h"
#include "desk/HandOffChannel.h"
#include "desk/KeyedPostings.h"
#include "desk/ReportPage.h"
#include "desk/SettingsPage.h"
#include "desk/StatusLine.h"
#include "desk/StoreCodes.h"
#include "desk/TransactionPages.h"

#include <QString>
#include <functional>
#include <optional>

namespace tolva {

class AppContext;
class DeskView;
class LinkClient;
class Printing;

// The member-card desk: the main window's life (start, hand-off, link, end)
// and its pages, each a controller of its own sharing one DeskState, over Qt
// Core types only. It drives the window through DeskView and asks the
// operator through the context's Dialogs, so it runs in tests without
// windows. The window's events reach the pages through the handlers below.
class Desk {
public:
    Desk(AppContext& ctx, DeskView& view, LinkClient& link, Printing* printing = nullptr);
    ~Desk();
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    // How the desk waits for the status-line flash; tests hand in a no-op.
    void setPause(std::function<void(int milliseconds)> pause) { m_status.setPause(std::move(pause)); }

    const DeskState& state() const { return m_state; }
    SettingsPage& settingsPage() { return m_settings; }
    ReportPage& reportPage() { return m_report; }

    // Window life.
    void Form_Load();
    void InitForm();
    void Form_QueryUnload();
    void cmdExit_Click();
    void chkMasterDB_Click();
    void lblHead_DblClick(int index);
    void cmdHideSetting_Click();

    // A hand-off another start passed to this running desk. The desk takes
    // it only at rest (atRest); then openOfferedHandOff shows it exactly as a
    // start with that request would. A request that is not valid is refused
    // at once (Answered) and its refusal shown when it is opened.
    HandOffReply offerHandOff(const HandOffValues& values);
    void openOfferedHandOff();
    // At rest: no hand-off open, no amount, bill number or code typed on the
    // deposit or deduction page, the card-number field empty or holding the
    // card last looked up, and the settings page not open.
    bool atRest() const;

    // The deposit bonus of a handed-over deposit: raises the amount of type
    // "1" at the set amounts and shows the line on the status line.
    void CalcBonusAmt(const QString& type, double& amount);
    // Puts a message on the status line, highlights it and beeps.
    void DispElaMsg(const QString& text, int beeps = 2);

    // Card lookup and customer records.
    void cmdQry_Click();
    void cmdIsuCard_Click();
    void cmdUPDCust_Click();
    bool UpdateCustData();
    // A field touched twice on a till without a keyboard: the card-number
    // and name fields (panel and query page) open their keypads.
    void field_DblClick(const QString& control);
    // The operator changed a field's text (typed, deleted, pasted): a
    // status text about its old value is emptied.
    void field_Change(const QString& control);

    // Value transactions of page index 0 (deposit) or 1 (deduction).
    void cmdOK_Click(int index);
    void cmdRefNo_Click(int index);
    void cmdVoidAmt_Click(int index);
    void cmdRemark_Click(int index);
    void txtAmt_Validate(int index, bool& cancel);
    void txtCheckNo_Validate(int index, bool& cancel);

private:
    void readHandOff(const HandOffValues& values);
    void openPage();
    void ensureStoreCode();
    void startLink();
    // The banner across the window while the link is down.
    void showLinkBanner(bool down);
    // A hand-off an earlier start already posted is answered and the
    // program ends (true); otherwise offline postings in trouble are shown.
    bool endKnownHandOff();

    AppContext& m_ctx;
    DeskView& m_view;
    LinkClient& m_link;
    DeskState m_state;
    DeskLink m_deskLink;
    StatusLine m_status;
    StoreCodes m_codes;
    KeyedPostings m_keyed;
    CustomerPanel m_customers;
    TransactionPages m_transactions;
    SettingsPage m_settings;
    ReportPage m_report;
    // A request passed on by another start, waiting to be opened.
    std::optional<HandOffValues> m_offered;
};

} // namespace tolva
