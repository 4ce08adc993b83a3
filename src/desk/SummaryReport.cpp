#include "desk/SummaryReport.h"

#include "app/AppContext.h"
#include "common/Fault.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "print/Printing.h"

#include <QSqlQuery>

namespace tolva {

namespace {
const QString kSeparators = QStringLiteral("#;");
const QString kDetailFormat = QStringLiteral("<900#^500#>800#<1400;");
const QString kDetailTitles = QStringLiteral("卡號#類別#金額#單號;");
const QString kTotalFormat = QStringLiteral("^1000#>1100#>1100;");
const QString kTotalTitles = QStringLiteral("分店別#交易別#總金額;");

QString textOf(const QSqlQuery& q, int column) {
    const QVariant v = q.value(column);
    return v.isNull() ? QString() : v.toString();
}

// A row of both the document and the export grid.
void addRow(Printout& report, const QString& format, const QString& header, const QString& row) {
    report.document.addTable(format, header, row, std::nullopt, std::nullopt, true);
    report.rows.addLine(row, kSeparators);
}
} // namespace

QString SummaryReport::typeName(const QString& type) {
    if (type == QLatin1String("1"))
        return QStringLiteral("加值");
    if (type == QLatin1String("2"))
        return QStringLiteral("抵扣");
    return type;
}

// The date texts go into the statement only as dates re-read and written by
// QuotDate (a text that is not a date becomes NULL), never as typed.
QString SummaryReport::dateConditions(const QString& dateFrom, const QString& dateTo) const {
    const Globals& g = m_ctx.g;
    QString sql;
    if (!dateFrom.isEmpty())
        sql += QStringLiteral(" And TxnDate >= ") + QuotDate(g, DBDateSave(g, dateFrom));
    if (!dateTo.isEmpty())
        sql += QStringLiteral(" And TxnDate <= ") + QuotDate(g, DBDateSave(g, dateTo));
    return sql;
}

QString SummaryReport::detailSql(const QString& dateFrom, const QString& dateTo) const {
    return QStringLiteral("Select txnDept , CardNo , TxnType , TxnAmt , RefCheckNO From VCardLOG ") +
           QStringLiteral(" Where 1 = 1 ") + dateConditions(dateFrom, dateTo) +
           QStringLiteral(" Order by TxnDept , refCheckNo  ");
}

QString SummaryReport::totalsSql(const QString& dateFrom, const QString& dateTo) const {
    return QStringLiteral("Select  txndept , TxnType ,sum( TxnAmt) as TAmt  From VCardLOG ") +
           QStringLiteral(" Where 1 = 1 ") + dateConditions(dateFrom, dateTo) +
           QStringLiteral(" Group by txndept ,  TxnType ") + QStringLiteral(" Order by txndept ,  TxnType ");
}

void SummaryReport::addDetails(Printout& report, const QString& dateFrom, const QString& dateTo) {
    Document& d = report.document;
    d.setCurrentY(d.currentY() + 200);
    d.addTable(kDetailFormat, QString(), kDetailTitles);
    report.rows.addLine(kDetailTitles, kSeparators);
    m_ctx.g.gSQL = detailSql(dateFrom, dateTo);
    QSqlQuery q = m_ctx.gCNT.query(m_ctx.g.gSQL);
    QString previous;
    while (q.next()) {
        const QString store = textOf(q, 0);
        if (previous.isEmpty())
            previous = store;
        if (store != previous) {
            d.setCurrentY(d.currentY() + 200);
            previous = store;
        }
        const QString row = textOf(q, 1) + u'#' + typeName(textOf(q, 2)) + u'#' +
                            plainNumber(numericValue(textOf(q, 3))) + u'#' + textOf(q, 4) + u';';
        addRow(report, kDetailFormat, kDetailTitles, row);
    }
    d.setCurrentY(d.currentY() + 200);
}

void SummaryReport::addTotals(Printout& report, const QString& dateFrom, const QString& dateTo) {
    Document& d = report.document;
    d.paragraph(QStringLiteral("總計:"));
    d.addTable(kTotalFormat, QString(), kTotalTitles);
    report.rows.addLine(kTotalTitles, kSeparators);
    m_ctx.g.gSQL = totalsSql(dateFrom, dateTo);
    QSqlQuery q = m_ctx.gCNT.query(m_ctx.g.gSQL);
    while (q.next()) {
        const QString row = textOf(q, 0) + u'#' + typeName(textOf(q, 1)) + u'#' +
                            plainNumber(numericValue(textOf(q, 2))) + u';';
        addRow(report, kTotalFormat, kTotalTitles, row);
    }
}

Printout SummaryReport::build(const QString& printer, const QString& dateFrom, const QString& dateTo,
                              bool totalsOnly) {
    Printout report;
    report.header = QStringLiteral("會員點數明細表");
    report.exportable = true;
    report.rows.reset(4);
    Document& d = report.document;
    d.setPrinter(printer);
    d.setTableSeparators(kSeparators);
    d.startDoc();
    d.setMarginLeft(500);
    d.setCurrentX(500);
    d.setTextAlign(7);
    d.setFontSize(12);
    d.setFontBold(true);
    d.paragraph(QStringLiteral("會員點數明細表"));
    d.setCurrentY(d.currentY() + 150);
    d.setTextAlign(6);
    d.setCurrentY(d.currentY() + 50);
    d.setFontSize(9);
    d.setFontBold(false);
    d.paragraph(QStringLiteral("日期: ") + dateFrom + u'-' + dateTo);
    if (!totalsOnly)
        addDetails(report, dateFrom, dateTo);
    addTotals(report, dateFrom, dateTo);
    d.endDoc();
    return report;
}

bool SummaryReport::print(const QString& dateFrom, const QString& dateTo, bool totalsOnly) {
    const QString printer =
        m_ctx.settings.Get(QStringLiteral("ZEL"), QStringLiteral("KP"), QStringLiteral("CPrinter"));
    if (!m_printing.isInstalled(printer, Qt::CaseSensitive)) {
        m_ctx.g.gMsg = QStringLiteral("帳單印表機未安裝:") + printer;
        m_ctx.dialogs.messageBox(m_ctx.g.gMsg, Dialogs::Icon::Information, m_ctx.g.title());
        return false;
    }
    m_ctx.dialogs.busyPointer();
    return guard(m_ctx.reporter, tolva::Report::Msg, QStringLiteral("fmTOLVA_cmdPrintS_Click"), false, [&] {
        Printout report = build(printer, dateFrom, dateTo, totalsOnly);
        m_ctx.dialogs.normalPointer();
        m_printing.preview(std::move(report));
        return true;
    });
}

} // namespace tolva
