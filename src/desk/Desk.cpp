#include "desk/Desk.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/Params.h"
#include "data/RecordWriters.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"
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

Desk::Desk(AppContext& ctx, DeskView& view, LinkClient& link)
    : m_ctx(ctx), m_view(view), m_link(link),
      m_pause([](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }) {}

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
        mHostIP = m_ctx.settings.Get(kZelq, g.exeName, QStringLiteral("IP"));
        mHostPWD = m_ctx.settings.Get(kZelq, g.exeName, QStringLiteral("PWD"));
        m_view.setText(ctl::txtIP, mHostIP);
        m_view.setText(ctl::txtPWD, mHostPWD);
        startLink();
        m_view.centerWindow();
    });
}

void Desk::readHandOff() {
    SettingsStore& store = m_ctx.settings;
    mCheckNo = store.Get(kZel, kHandOff, QStringLiteral("CheckNo"));
    mTxnAmt = numericValue(store.Get(kZel, kHandOff, QStringLiteral("TxnAmt")));
    mTxnType = store.Get(kZel, kHandOff, QStringLiteral("TxnType"));
    m_view.setText(ctl::txtCustNo, store.Get(kZel, kHandOff, QStringLiteral("CustNo")));
    m_view.setText(ctl::txtCustNoQry, m_view.text(ctl::txtCustNo));
    // The request is used once; an answer left by an earlier run goes too.
    QStringList keys;
    for (const char* key : kHandOffKeys)
        keys << QString::fromLatin1(key);
    store.Delete(kZel, kHandOff, keys);
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
        m_view.setVisible(ctl::cmdIsuCard, false);
    } else if (mTxnType == QLatin1String("1")) {
        double amount = mTxnAmt;
        CalcBonusAmt(QStringLiteral("1"), amount);
        m_view.showTab(ctl::kDeposit, true);
        m_view.showTab(ctl::kDeduction, false);
        m_view.selectTab(ctl::kDeposit);
        m_view.setText(ctl::txtAmt(0), plainNumber(amount));
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
    if (mHostIP.isEmpty() || mHostPWD.isEmpty())
        return;
    if (m_link.Connect_TCPSrv(mHostIP, QStringLiteral("3501"), mHostPWD)) {
        mLinked = true;
        g.gMsg = QStringLiteral("連線成功");
        DispElaMsg(g.gMsg);
        if (!m_view.text(ctl::txtCustNo).isEmpty())
            cmdQry_Click();
        const double balance = numericValue(m_view.text(ctl::txtTBonusAmt).remove(QLatin1Char(',')));
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
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("DispElaMsg"), [&] {
        m_view.setText(ctl::elaMsg, text);
        m_view.setMessageHighlight(true);
        for (int i = 0; i < beeps; ++i)
            m_ctx.dialogs.beep();
        m_pause(200);
        m_view.setMessageHighlight(false);
    });
}

void Desk::chkMasterDB_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_chkMasterDB_Click"), [&] {
        const QString value = m_view.masterDB() ? QStringLiteral("1") : QStringLiteral("0");
        if (!m_ctx.settings.Save(kZel, m_ctx.g.exeName, QStringLiteral("chkMasterDB"), value))
            throw Fault(Fault::kGeneric, QStringLiteral("無法寫入設定檔 ") + m_ctx.settings.fileOf(kZel));
    });
}

void Desk::lblHead_DblClick(int index) {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_lblHead_DblClick"), [&] {
        if (index != 2)
            return;
        m_view.showTab(ctl::kSettings, true);
        m_view.selectTab(ctl::kSettings);
    });
}

void Desk::cmdHideSetting_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdHideSetting_Click"), [&] {
        m_view.showTab(ctl::kSettings, false);
        if (m_view.isTabShown(ctl::kDeposit))
            m_view.selectTab(ctl::kDeposit);
        else if (m_view.isTabShown(ctl::kDeduction))
            m_view.selectTab(ctl::kDeduction);
    });
}

void Desk::cmdExit_Click() {
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("fmTOLVA_cmdExit_Click"),
              [&] { m_view.endProgram(); });
}

void Desk::Form_QueryUnload() {
    cmdExit_Click();
}

} // namespace tolva
