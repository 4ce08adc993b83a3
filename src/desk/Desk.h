#pragma once

#include <QString>
#include <functional>

namespace tolva {

class AppContext;
class DeskView;

// The member-card desk: the state and the operations of the main window,
// over Qt Core types only. It drives the window through DeskView and asks the
// operator through the context's Dialogs, so it runs in tests without windows.
class Desk {
public:
    Desk(AppContext& ctx, DeskView& view);
    virtual ~Desk();
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    // How the desk waits for the status-line flash; tests hand in a no-op.
    void setPause(std::function<void(int milliseconds)> pause) { m_pause = std::move(pause); }

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

    // Window state.
    bool mLinked = false;
    QString mHostIP;
    QString mHostPWD;
    QString mStoreID;
    QString mMsgPrefix;
    QString mCheckNo;
    double mTxnAmt = 0;
    QString mTxnType;

protected:
    // Logs in to the member service; true when it accepted.
    virtual bool connectLink();
    // The card query (run at start for a handed-over card).
    virtual void cmdQry_Click();

    AppContext& m_ctx;
    DeskView& m_view;
    std::function<void(int)> m_pause;

private:
    void readHandOff();
    void openPage();
    void ensureStoreCode();
    void startLink();
};

} // namespace tolva
