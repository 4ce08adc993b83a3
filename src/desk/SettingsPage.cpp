#include "desk/SettingsPage.h"

#include "app/AppContext.h"
#include "common/Guard.h"
#include "data/RecordWriters.h"
#include "desk/Controls.h"
#include "desk/DeskState.h"
#include "desk/DeskView.h"
#include "desk/LinkTlsSettings.h"
#include "desk/StatusLine.h"
#include "desk/StoreCodes.h"
#include "link/LinkClient.h"

namespace tolva {

namespace {
const QString kZel = QStringLiteral("ZEL");
const QString kZelq = QStringLiteral("ZELQ");

// A test log-in must not move the window's mode label or message line.
class QuietIndicators : public LinkIndicators {
public:
    void setMessageLine(const QString&) override {}
    void setModeCaption(const QString&) override {}
};
} // namespace

SettingsPage::SettingsPage(AppContext& ctx, DeskView& view, StatusLine& status, StoreCodes& codes,
                           DeskState& state)
    : m_ctx(ctx), m_view(view), m_status(status), m_codes(codes), m_state(state) {
    m_probe = [&ctx](const LinkSettings& settings, QString& certificate) {
        QuietIndicators quiet;
        LinkClient probe(ctx.g, ctx.reporter, ctx.dialogs, quiet, ctx.codePage);
        const bool ok = probe.connectWith(settings);
        certificate = probe.peerCertificateSummary();
        return ok;
    };
}

void SettingsPage::lblHead_DblClick(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_lblHead_DblClick"), [&] {
        if (index != 2)
            return;
        m_view.showTab(ctl::kSettings, true);
        m_view.selectTab(ctl::kSettings);
    });
}

void SettingsPage::cmdHideSetting_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdHideSetting_Click"), [&] {
        m_view.showTab(ctl::kSettings, false);
        if (m_view.isTabShown(ctl::kDeposit))
            m_view.selectTab(ctl::kDeposit);
        else if (m_view.isTabShown(ctl::kDeduction))
            m_view.selectTab(ctl::kDeduction);
    });
}

void SettingsPage::chkMasterDB_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_chkMasterDB_Click"), [&] {
        const QString value = m_view.masterDB() ? QStringLiteral("1") : QStringLiteral("0");
        if (!m_ctx.settings.Save(kZel, m_ctx.g.exeName, QStringLiteral("chkMasterDB"), value))
            throw Fault(Fault::kGeneric, QStringLiteral("無法寫入設定檔 ") + m_ctx.settings.fileOf(kZel));
    });
}

void SettingsPage::cmdSetting_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdSetting_Click"), [&] {
        const QString host = m_view.text(ctl::txtIP);
        const QString password = m_view.text(ctl::txtPWD);
        if (host.isEmpty()) {
            m_ctx.dialogs.ShowRefusal(QStringLiteral("請輸入遠端主機的IP"));
            return;
        }
        if (password.isEmpty()) {
            m_ctx.dialogs.ShowRefusal(QStringLiteral("請輸入遠端主機的連線密碼"));
            return;
        }
        const LinkTls tls = LinkTlsSettings::shown(m_view);
        if (const QString problem = LinkTlsSettings::problem(tls); !problem.isEmpty()) {
            m_ctx.dialogs.ShowRefusal(problem);
            return;
        }
        if (!m_ctx.settings.Save(kZelq, m_ctx.g.exeName,
                                 QList<QPair<QString, QString>>{{QStringLiteral("IP"), host},
                                                                {QStringLiteral("PWD"), password}} +
                                     LinkTlsSettings::values(tls)))
            throw Fault(Fault::kGeneric, QStringLiteral("無法寫入設定檔 ") + m_ctx.settings.fileOf(kZelq));
        // Memory follows the file only once all are written, so the two
        // never disagree.
        m_state.setLinkAddress(host, password);
        m_state.setLinkTls(tls);
        m_ctx.dialogs.messageBox(QStringLiteral("設定OK"), Dialogs::Icon::Warning, m_ctx.g.title());
    });
}

void SettingsPage::cmdSetStore_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdSetStore_Click"), [&] {
        const QString code = m_view.text(ctl::txtTxnDept(2));
        if (code.isEmpty()) {
            m_ctx.dialogs.ShowRefusal(QStringLiteral("請輸入店代號"));
            return;
        }
        // Both lines are about the code typed; another code empties them.
        if (m_codes.exists(code)) {
            m_status.showAbout({ctl::txtTxnDept(2)}, QStringLiteral("此分店已建檔"));
            return;
        }
        xxCODERec rec;
        rec.CodeType = m_ctx.g.exeName;
        rec.Code = code;
        if (!ADD_xxCODE(m_ctx, rec, m_ctx.gCNT)) {
            m_status.showAbout({ctl::txtTxnDept(2)}, QStringLiteral("存檔失敗"));
            return;
        }
        m_view.setText(ctl::txtTxnDept(2), QString());
        m_status.show(QStringLiteral("已設定來源別 ") + code);
    });
}

void SettingsPage::cmdTest_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdTest_Click"), [&] {
        LinkSettings shown = m_state.link();
        shown.host = m_view.text(ctl::txtIP);
        shown.password = m_view.text(ctl::txtPWD);
        shown.tls = LinkTlsSettings::shown(m_view);
        if (const QString problem = LinkTlsSettings::problem(shown.tls); !problem.isEmpty()) {
            m_ctx.dialogs.ShowRefusal(problem);
            return;
        }
        // A failed test stays until read; a success closes by itself.
        QString certificate;
        const bool ok = shown.isComplete() && m_probe(shown, certificate);
        if (!ok)
            m_ctx.dialogs.ShowRefusal(QStringLiteral("無法與會員資料庫連線!!"));
        else if (certificate.isEmpty())
            m_ctx.dialogs.ShowMsg(QStringLiteral("連線成功"));
        else
            m_ctx.dialogs.ShowMsg(QStringLiteral("連線成功 (加密連線)\n") + certificate);
    });
}

void SettingsPage::cmdFmComID_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdFmComID_Click"),
              [&] { m_codes.pickInto(ctl::txtFmComID); });
}

void SettingsPage::txtFmComID_DblClick() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_txtFmComID_DblClick"),
              [&] { m_codes.pickInto(ctl::txtFmComID); });
}

void SettingsPage::cmdTxnDept_Click(int index) {
    // This picker passes its errors over: the field simply stays as it was.
    try {
        m_codes.pickInto(ctl::txtTxnDept(index));
    } catch (const Fault&) {
    }
    m_status.dropStale();
}

void SettingsPage::txtTxnDept_DblClick(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_txtTxnDept_DblClick"),
              [&] { m_codes.pickInto(ctl::txtTxnDept(index)); });
    m_status.dropStale();
}

} // namespace tolva
