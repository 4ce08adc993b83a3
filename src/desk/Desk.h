#pragma once

#include "desk/CardOfQuery.h"
#include "desk/FieldChecks.h"
#include "desk/ReportPage.h"
#include "desk/SettingsPage.h"
#include "desk/StatusLine.h"
#include "desk/StoreCodes.h"
#include "link/Grid.h"
#include "link/LinkSettings.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace tolva {

class AppContext;
class DeskView;
class LinkClient;
class Printing;

// The member-card desk: the state and the operations of the main window,
// over Qt Core types only. It drives the window through DeskView and asks the
// operator through the context's Dialogs, so it runs in tests without windows.
class Desk {
public:
    Desk(AppContext& ctx, DeskView& view, LinkClient& link, Printing* printing = nullptr);
    ~Desk();
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    // How the desk waits for the status-line flash; tests hand in a no-op.
    void setPause(std::function<void(int milliseconds)> pause) { m_status.setPause(std::move(pause)); }

    // The pages of the window that have a controller of their own.
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

    // Value transactions of page index 0 (deposit) or 1 (deduction).
    void cmdOK_Click(int index);
    void cmdRefNo_Click(int index);
    void cmdVoidAmt_Click(int index);
    // Checks when the amount or the bill field is left; cancel keeps the
    // focus in the field.
    void txtAmt_Validate(int index, bool& cancel);
    void txtCheckNo_Validate(int index, bool& cancel);

    // The working grid: the customer row of the last card query.
    Grid fgTMP;

    // Window state.
    bool mLinked = false;
    QString mStoreID;
    QString mMsgPrefix;
    QString mCheckNo;
    double mTxnAmt = 0;
    QString mTxnType;

private:
    void readHandOff();
    void openPage();
    void ensureStoreCode();
    void startLink();

    // Logs in again before an operation that needs the link; false (with
    // the link marked down and the operator told) when that fails.
    bool reconnect(const QString& lostText);
    // Shows the link-lost text when the last request got no reply at all.
    bool replyMissing();
    // Card issue and customer update need a card number and the link.
    bool cardAndLinkReady();
    void refuse(const QString& text);
    bool billExists(const QString& billNo, const QString& twoBlanks);
    void fillCustomerPanel();
    bool postMaster(int index, const QString& type, const QString& amount);
    bool postRemote(int index, const QString& type, const QString& amount);
    bool writeLocalLog(int index, const QString& type, const QString& amount);
    void logPosting(const QString& step, int index, const QString& type, const QString& amount);

    // Refuses (message window) the first value that may not be sent.
    bool valuesAllowed(const QList<QPair<FieldRule, QString>>& values);
    // Empties the customer panel, so a failed or empty query never leaves
    // the previous holder on screen.
    void clearCustomerPanel();
    // A balance statement that changed no row: refused in the operator's
    // words, by whether the card is still on file.
    void refuseUnchanged(const QString& type, bool cardOnFile);
    bool remoteCardOnFile(const QString& cardNo);
    // The balance statement or the remote log row got no reply: the posting
    // may or may not have happened at the service.
    void reportUnknownOutcome(const QString& step, int index, const QString& type, const QString& amount);
    // The amount the POS books: the handed-over amount when the operator
    // confirmed what the page opened with, else the amount confirmed.
    QString answerAmount(double confirmed) const;

    AppContext& m_ctx;
    DeskView& m_view;
    LinkClient& m_link;
    LinkSettings m_linkSettings;
    StatusLine m_status;
    StoreCodes m_codes;
    SettingsPage m_settings;
    ReportPage m_report;
    // A confirmation whose balance statement has gone out is never posted again.
    bool m_posting = false;
    CardOfQuery m_card;
    // The amount a handed-over transaction put on its page (after any bonus).
    double m_openedAmount = 0;
};

} // namespace tolva
