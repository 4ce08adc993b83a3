#pragma once

#include <QString>

namespace tolva::ctl {

// Names of the main window's controls; control-array members carry their
// index in parentheses.
inline QString indexed(const char* name, int index) {
    return QString::fromLatin1(name) + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

inline QString lblHead(int i) {
    return indexed("lblHead", i);
}
inline QString txtTxnDept(int i) {
    return indexed("txtTxnDept", i);
}
inline QString cmdTxnDept(int i) {
    return indexed("cmdTxnDept", i);
}
inline QString txtCheckNo(int i) {
    return indexed("txtCheckNo", i);
}
inline QString cmdRefNo(int i) {
    return indexed("cmdRefNo", i);
}
inline QString txtAmt(int i) {
    return indexed("txtAmt", i);
}
inline QString cmdVoidAmt(int i) {
    return indexed("cmdVoidAmt", i);
}
inline QString txtRemark(int i) {
    return indexed("txtRemark", i);
}
inline QString cmdRemark(int i) {
    return indexed("cmdRemark", i);
}
inline QString cmdOK(int i) {
    return indexed("cmdOK", i);
}

inline const QString txtCustNo = QStringLiteral("txtCustNo");
inline const QString txtCustName = QStringLiteral("txtCustName");
inline const QString txtTBonusAmt = QStringLiteral("txtTBonusAmt");
inline const QString txtTEL1 = QStringLiteral("txtTEL1");
inline const QString txtZIP = QStringLiteral("txtZIP");
inline const QString txtBillAddr1 = QStringLiteral("txtBillAddr1");
inline const QString txtBillAddr2 = QStringLiteral("txtBillAddr2");
inline const QString txtFmComID = QStringLiteral("txtFmComID");
inline const QString cmdFmComID = QStringLiteral("cmdFmComID");
inline const QString cmdIsuCard = QStringLiteral("cmdIsuCard");
inline const QString cmdUPDCust = QStringLiteral("cmdUPDCust");
inline const QString txtCustNoQry = QStringLiteral("txtCustNoQry");
inline const QString txtCustNameQry = QStringLiteral("txtCustNameQry");
inline const QString cmdQry = QStringLiteral("cmdQry");
inline const QString txtDateB = QStringLiteral("txtDateB");
inline const QString txtDateE = QStringLiteral("txtDateE");
inline const QString Check1 = QStringLiteral("Check1");
inline const QString cmdPrintS = QStringLiteral("cmdPrintS");
inline const QString chkMasterDB = QStringLiteral("chkMasterDB");
inline const QString txtIP = QStringLiteral("txtIP");
inline const QString txtPWD = QStringLiteral("txtPWD");
// TLS on the link: the switch, the CA file, the desk's certificate and key.
inline const QString chkTLS = QStringLiteral("chkTLS");
inline const QString txtTlsCA = QStringLiteral("txtTlsCA");
inline const QString txtTlsCert = QStringLiteral("txtTlsCert");
inline const QString txtTlsKey = QStringLiteral("txtTlsKey");
inline const QString cmdSetting = QStringLiteral("cmdSetting");
inline const QString cmdTest = QStringLiteral("cmdTest");
inline const QString cmdSetStore = QStringLiteral("cmdSetStore");
inline const QString cmdHideSetting = QStringLiteral("cmdHideSetting");
inline const QString cmdExit = QStringLiteral("cmdExit");
inline const QString elaMsg = QStringLiteral("elaMsg");
inline const QString lblMode = QStringLiteral("lblMode");
inline const QString lblStatus = QStringLiteral("lblStatus");
// The deposit page's lines: what the guest pays, the bonus, what the card
// is credited, and how the bonus was reckoned.
inline const QString lblPaid = QStringLiteral("lblPaid");
inline const QString lblBonus = QStringLiteral("lblBonus");
inline const QString lblCredited = QStringLiteral("lblCredited");
inline const QString lblBonusRule = QStringLiteral("lblBonusRule");
// The banner across the window while the link to the member service is down.
inline const QString lblLinkDown = QStringLiteral("lblLinkDown");
inline const QString tabPage = QStringLiteral("tabPage");
inline const QString fgTMP = QStringLiteral("fgTMP");

// Pages of the tab strip.
enum Tab { kDeposit = 0, kDeduction = 1, kSettings = 2, kQuery = 3, kReport = 4 };

} // namespace tolva::ctl
