#include "desk/Desk.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/Params.h"
#include "data/RecordWriters.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"
#include "desk/HandOff.h"
#include "link/LinkClient.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

namespace tolva {

namespace {
// The hand-off mailbox of the POS station.
const QString kZel = QStringLiteral("ZEL");
const QString kZelq = QStringLiteral("ZELQ");
const QString kHandOff = QStringLiteral("TOLVA");
const char* const kHandOffKeys[] = {"CheckNo", "TxnAmt", "TxnType", "CustNo", "TxnAmtAuth", "CheckNoAuth"};
} // namespace

Desk::Desk(AppContext& ctx, DeskView& view, LinkClient& link, Printing* printing)
    : m_ctx(ctx), m_view(view), m_link(link), m_status(ctx, view), m_codes(ctx, view),
      m_settings(ctx, view, m_status, m_codes, m_linkSettings), m_report(ctx, view, printing) {}

Desk::~Desk() = default;

void Desk::Form_Load() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_Form_Load"), [&] {
        const Globals& g = m_ctx.g;
        const QString program = g.appDir + QLatin1Char('/') + g.exeName;
        if (QFileInfo(program).isFile())
            m_view.setToolTip(ctl::lblHead(0),
                              QStringLiteral("檔案日期:") + QFileInfo(program).lastModified().toString(
                                                                QStringLiteral("yyyy/M/d H:mm:ss")));
        m_view.setToolTip(ctl::lblHead(1), QStringLiteral("V") + QCoreApplication::applicationVersion());
        m_view.setText(ctl::lblHead(2), m_ctx.clock.today().toString(QStringLiteral("yyyy/MM/dd")));
        m_view.setText(ctl::lblStatus, g.gUserID);
        m_view.setText(ctl::lblMode, QString());
        m_view.setText(ctl::elaMsg, QStringLiteral("連線中, 請稍候..."));
        m_view.showWindow();
        InitForm();
    });
}

void Desk::InitForm() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_InitForm"), [&] {
        Globals& g = m_ctx.g;
        mLinked = false;
        const QString master = m_ctx.settings.Get(kZel, g.exeName, QStringLiteral("chkMasterDB"));
        m_view.setMasterDB(numericValue(master) != 0);
        m_view.clearInputs();
        m_view.setText(ctl::txtDateB, DBDateDisp(g, g.gOPDate));
        m_view.setText(ctl::txtDateE, DBDateDisp(g, g.gOPDate));
        mMsgPrefix = QStringLiteral("ZELQ");
        m_link.mMsgPrefix = mMsgPrefix;
        m_link.gTcpEnd = QChar(0x03);
        m_link.gTcpTimeout = 15;
        readHandOff();
        openPage();
        ensureStoreCode();
        m_linkSettings.host = m_ctx.settings.Get(kZelq, g.exeName, QStringLiteral("IP"));
        m_linkSettings.password = m_ctx.settings.Get(kZelq, g.exeName, QStringLiteral("PWD"));
        m_view.setText(ctl::txtIP, m_linkSettings.host);
        m_view.setText(ctl::txtPWD, m_linkSettings.password);
        startLink();
        m_view.centerWindow();
    });
}

void Desk::readHandOff() {
    SettingsStore& store = m_ctx.settings;
    const HandOff handOff = HandOff::check(store.Get(kZel, kHandOff, QStringLiteral("CheckNo")),
                                           store.Get(kZel, kHandOff, QStringLiteral("TxnAmt")),
                                           store.Get(kZel, kHandOff, QStringLiteral("TxnType")),
                                           store.Get(kZel, kHandOff, QStringLiteral("CustNo")));
    // A request that is not wholly valid is not posted in any reading of it:
    // the desk opens as if none had come, and the POS hears no answer.
    const bool taken = handOff.valid();
    mCheckNo = taken ? handOff.checkNo : QString();
    mTxnAmt = taken ? handOff.amount : 0;
    mTxnType = taken ? handOff.type : QString();
    m_view.setText(ctl::txtCustNo, taken ? handOff.custNo : QString());
    m_view.setText(ctl::txtCustNoQry, m_view.text(ctl::txtCustNo));
    // The request is used once; an answer left by an earlier run goes too.
    QStringList keys;
    for (const char* key : kHandOffKeys)
        keys << QString::fromLatin1(key);
    store.Delete(kZel, kHandOff, keys);
    if (!taken) {
        m_ctx.g.gMsg = handOff.refusal();
        m_ctx.reporter.WriteLog(m_ctx.g.gMsg);
        m_ctx.dialogs.ShowMsg(m_ctx.g.gMsg);
    }
    if (!mCheckNo.isEmpty()) {
        m_view.setText(ctl::txtCheckNo(0), mCheckNo);
        m_view.setText(ctl::txtCheckNo(1), mCheckNo);
    }
}

void Desk::openPage() {
    if (mTxnType == QLatin1String("2")) {
        m_view.showTab(ctl::kDeduction, true);
        m_view.showTab(ctl::kDeposit, false);
        m_view.selectTab(ctl::kDeduction);
        m_view.setText(ctl::txtAmt(1), plainNumber(mTxnAmt));
        m_openedAmount = mTxnAmt;
        m_view.setVisible(ctl::cmdIsuCard, false);
    } else if (mTxnType == QLatin1String("1")) {
        double amount = mTxnAmt;
        CalcBonusAmt(QStringLiteral("1"), amount);
        m_view.showTab(ctl::kDeposit, true);
        m_view.showTab(ctl::kDeduction, false);
        m_view.selectTab(ctl::kDeposit);
        m_view.setText(ctl::txtAmt(0), plainNumber(amount));
        m_openedAmount = amount;
        m_view.setVisible(ctl::cmdIsuCard, true);
    } else {
        m_view.selectTab(ctl::kQuery);
        m_view.setVisible(ctl::cmdIsuCard, true);
    }
}

void Desk::ensureStoreCode() {
    Globals& g = m_ctx.g;
    QString storeID;
    mStoreID = getParamValue(m_ctx, QStringLiteral("StoreID"), storeID) ? storeID : QString();
    m_view.setText(ctl::txtTxnDept(0), mStoreID);
    m_view.setText(ctl::txtTxnDept(1), mStoreID);

    g.gSQL = QStringLiteral("Select * from xxCode ") + QStringLiteral(" Where Codetype = ") +
             QuotStr(g.exeName) + QStringLiteral("   And Code = ") + QuotStr(mStoreID);
    if (m_ctx.gCNT.hasRow(g.gSQL))
        return;
    xxCODERec rec;
    rec.CodeType = g.exeName;
    rec.Code = mStoreID;
    if (!ADD_xxCODE(m_ctx, rec, m_ctx.gCNT)) {
        g.gMsg = QStringLiteral("存檔失敗");
        DispElaMsg(g.gMsg);
    }
}

void Desk::startLink() {
    Globals& g = m_ctx.g;
    if (!m_linkSettings.isComplete())
        return;
    if (m_link.Connect_TCPSrv(m_linkSettings.host, m_linkSettings.port, m_linkSettings.password)) {
        mLinked = true;
        g.gMsg = QStringLiteral("連線成功");
        DispElaMsg(g.gMsg);
        if (!m_view.text(ctl::txtCustNo).isEmpty())
            cmdQry_Click();
        const double balance = m_card.loaded ? m_card.balance : 0;
        if (mTxnType == QLatin1String("2") && mTxnAmt > balance) {
            g.gMsg = QStringLiteral("餘額不足");
            m_ctx.dialogs.ShowMsg(g.gMsg);
            m_view.setVisible(ctl::cmdOK(1), false);
        }
    } else {
        mLinked = false;
        g.gMsg = QStringLiteral("無法與會員資料庫連線!!");
        m_ctx.dialogs.ShowMsg(g.gMsg);
        DispElaMsg(g.gMsg);
    }
}

void Desk::CalcBonusAmt(const QString& type, double& amount) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_CalcBonusAmt"), [&] {
        if (type != QLatin1String("1"))
            return;
        Globals& g = m_ctx.g;
        g.gMsg.clear();
        double rate = 0;
        QString text;
        if (amount == 5000) {
            rate = 1.05;
            text = QStringLiteral(" * 105% = ");
        } else if (amount == 10000) {
            rate = 1.08;
            text = QStringLiteral(" * 108% = ");
        } else if (amount == 20000) {
            rate = 1.1;
            text = QStringLiteral(" * 110% = ");
        } else {
            return;
        }
        const double before = amount;
        amount = before * rate;
        g.gMsg = plainNumber(before) + text + plainNumber(amount);
        DispElaMsg(g.gMsg);
    });
}

void Desk::DispElaMsg(const QString& text, int beeps) {
    m_status.show(text, beeps);
}

void Desk::chkMasterDB_Click() {
    m_settings.chkMasterDB_Click();
}

void Desk::lblHead_DblClick(int index) {
    m_settings.lblHead_DblClick(index);
}

void Desk::cmdHideSetting_Click() {
    m_settings.cmdHideSetting_Click();
}

void Desk::cmdExit_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdExit_Click"),
              [&] { m_view.endProgram(); });
}

void Desk::Form_QueryUnload() {
    cmdExit_Click();
}

} // namespace tolva
