#pragma once

#include "link/LinkSettings.h"

#include <functional>

namespace tolva {

class AppContext;
class DeskState;
class DeskView;
class StatusLine;
class StoreCodes;

// The settings page "連線設定" (hidden until the date in the header is
// double-clicked): the link settings, the master-database switch, store
// codes, and the store-code pickers of every page.
class SettingsPage {
public:
    // Tries a log-in with the settings given, on a connection of its own;
    // true when the member service accepted it. certificate: the service's
    // certificate (subject and expiry) when the log-in went over TLS.
    using LoginProbe = std::function<bool(const LinkSettings&, QString& certificate)>;

    SettingsPage(AppContext& ctx, DeskView& view, StatusLine& status, StoreCodes& codes, DeskState& state);

    void setLoginProbe(LoginProbe probe) { m_probe = std::move(probe); }

    void lblHead_DblClick(int index);
    void cmdHideSetting_Click();
    void chkMasterDB_Click();

    // Saves the link settings shown (both must be non-empty; kept exactly
    // as typed). The present connection is left as it is.
    void cmdSetting_Click();
    // Creates the store code typed in txtTxnDept(2) in the local database.
    void cmdSetStore_Click();
    // Logs in with the host, password and TLS settings shown, without
    // keeping them, and says whether that worked (over TLS with the
    // service's certificate).
    void cmdTest_Click();

    // The store-code pickers of the customer panel and of every
    // txtTxnDept(i).
    void cmdFmComID_Click();
    void txtFmComID_DblClick();
    void cmdTxnDept_Click(int index);
    void txtTxnDept_DblClick(int index);

private:
    AppContext& m_ctx;
    DeskView& m_view;
    StatusLine& m_status;
    StoreCodes& m_codes;
    DeskState& m_state;
    LoginProbe m_probe;
};

} // namespace tolva
