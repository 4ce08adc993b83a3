#include "desk/SummaryReport.h"

#include "app/AppContext.h"
#include "common/Fault.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "print/Printing.h"

#include <QSqlQuery>
#include <memory>

namespace tolva {

namespace {
const QString kSeparators = QStringLiteral("#;");
const QString kDetailFormat = QStringLiteral("<900#^500#>800#<1400;");
const QString kDetailTitles = QStringLiteral("卡號#類別#金額#單號;");
const QString kTotalFormat = QStringLiteral("^1000#>1100#>1100;");
const QString kTotalTitles = QStringLiteral("分店別#交易別#總金額;");
const QString kOfflineTitles = QStringLiteral("卡號#類別#金額#授權碼;");

// Where an offline posting stands; a refused one says why, also once the
// operator has dealt with it: it never moved a balance.
QString offlineState(const QString& state, const QString& note) {
    if (state == QLatin1String("O"))
        return QStringLiteral("待入帳");
    if (state == QLatin1String("S"))
        return QStringLiteral("已入帳");
    return QStringLiteral("遭拒 (") + note + QLatin1Char(')');
}

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

// The date texts go into the statement only as dates re-read and written as
// the local database's own date literal (a text that is not a date becomes
// NULL), never as typed.
QString SummaryReport::dateConditions(const QString& dateFrom, const QString& dateTo) const {
    const Globals& g = m_ctx.g;
    const Dialect& dialect = m_ctx.gCNT.dialect();
    QString sql;
    if (!dateFrom.isEmpty())
        sql += QStringLiteral(" And TxnDate >= ") + dialect.dateLiteral(DBDateSave(g, dateFrom));
    if (!dateTo.isEmpty())
        sql += QStringLiteral(" And TxnDate <= ") + dialect.dateLiteral(DBDateSave(g, dateTo));
    return sql;
}

// An offline posting the member side refused keeps its local log row (it was
// written when the posting was recorded), but no balance moved: its row is
// left out of the details and the totals and listed with the offline ones.
QString SummaryReport::refusedExcluded() const {
    Database& db = m_ctx.gCNT;
    if (!db.hasTable(QStringLiteral("PostJournal")) ||
        !db.hasColumn(QStringLiteral("VCardLog"), QStringLiteral("PostKey")))
        return QString();
    return QStringLiteral(" And (PostKey Is Null Or PostKey Not In "
                          "(Select PostKey From PostJournal Where State In ('R', 'D')))");
}

QString SummaryReport::detailSql(const QString& dateFrom, const QString& dateTo) const {
    return QStringLiteral("Select txnDept , CardNo , TxnType , TxnAmt , RefCheckNO From VCardLOG ") +
           QStringLiteral(" Where 1 = 1 ") + dateConditions(dateFrom, dateTo) + refusedExcluded() +
           QStringLiteral(" Order by TxnDept , refCheckNo  ");
}

QString SummaryReport::totalsSql(const QString& dateFrom, const QString& dateTo) const {
    return QStringLiteral("Select  txndept , TxnType ,sum( TxnAmt) as TAmt  From VCardLOG ") +
           QStringLiteral(" Where 1 = 1 ") + dateConditions(dateFrom, dateTo) + refusedExcluded() +
           QStringLiteral(" Group by txndept ,  TxnType ") + QStringLiteral(" Order by txndept ,  TxnType ");
}

QString SummaryReport::offlineSql(const QString& dateFrom, const QString& dateTo) const {
    return QStringLiteral("Select CardNo, TxnType, TxnAmt, AuthCode, State, Note From PostJournal "
                          "Where State IN ('O', 'S', 'R', 'D')") +
           dateConditions(dateFrom, dateTo) + QStringLiteral(" Order by TxnDept, RefCheckNo");
}

// Composes the report part by part. Lives in the printout's more, so it
// holds only the program-wide context, not the SummaryReport that made it.
class SummaryReport::Composer {
public:
    Composer(AppContext& ctx, QString totalsSql, QString offlineSql, int chunkRows)
        : m_ctx(ctx), m_totalsSql(std::move(totalsSql)), m_offlineSql(std::move(offlineSql)),
          m_chunkRows(chunkRows) {}

    void startDetails(Printout& report, const QString& detailSql) {
        Document& d = report.document;
        d.setCurrentY(d.currentY() + 200);
        d.addTable(kDetailFormat, QString(), kDetailTitles);
        report.rows.addLine(kDetailTitles, kSeparators);
        m_details = m_ctx.gCNT.query(detailSql);
        m_inDetails = true;
    }

    // The next part; false when the report is complete.
    bool step(Printout& report) {
        if (m_inDetails && !detailPart(report))
            return true;
        totals(report);
        offline(report);
        report.document.endDoc();
        return false;
    }

    // A later part, its failure reported the way the button reports its own.
    bool guardedStep(Printout& report) {
        const bool again =
            guard(m_ctx.reporter, tolva::Report::Msg, QStringLiteral("fmTOLVA_cmdPrintS_Click"), false,
                  [&] { return step(report); });
        if (!again && !report.document.isFinished())
            report.failed = true;
        return again;
    }

private:
    // Up to one part of detail rows; true when the details are done.
    bool detailPart(Printout& report) {
        Document& d = report.document;
        for (int n = 0; n < m_chunkRows; ++n) {
            if (!m_details.next()) {
                m_details = QSqlQuery();
                m_inDetails = false;
                d.setCurrentY(d.currentY() + 200);
                return true;
            }
            const QString store = textOf(m_details, 0);
            if (m_previous.isEmpty())
                m_previous = store;
            if (store != m_previous) {
                d.setCurrentY(d.currentY() + 200);
                m_previous = store;
            }
            const QString row = textOf(m_details, 1) + u'#' + typeName(textOf(m_details, 2)) + u'#' +
                                plainNumber(numericValue(textOf(m_details, 3))) + u'#' +
                                textOf(m_details, 4) + u';';
            addRow(report, kDetailFormat, kDetailTitles, row);
        }
        return false;
    }

    void totals(Printout& report) {
        Document& d = report.document;
        d.paragraph(QStringLiteral("總計:"));
        d.addTable(kTotalFormat, QString(), kTotalTitles);
        report.rows.addLine(kTotalTitles, kSeparators);
        QSqlQuery q = m_ctx.gCNT.query(m_totalsSql);
        while (q.next()) {
            const QString row = textOf(q, 0) + u'#' + typeName(textOf(q, 1)) + u'#' +
                                plainNumber(numericValue(textOf(q, 2))) + u';';
            addRow(report, kTotalFormat, kTotalTitles, row);
        }
    }

    // Postings recorded offline by phone authorisation, with their code and
    // where they stand; nothing when there are none.
    void offline(Printout& report) {
        if (!m_ctx.gCNT.hasTable(QStringLiteral("PostJournal")))
            return;
        QSqlQuery q = m_ctx.gCNT.query(m_offlineSql);
        bool first = true;
        while (q.next()) {
            Document& d = report.document;
            if (first) {
                d.setCurrentY(d.currentY() + 200);
                d.paragraph(QStringLiteral("電話授權(離線)交易:"));
                d.addTable(kDetailFormat, QString(), kOfflineTitles);
                report.rows.addLine(kOfflineTitles, kSeparators);
                first = false;
            }
            const QString row = textOf(q, 0) + u'#' + typeName(textOf(q, 1)) + u'#' +
                                plainNumber(numericValue(textOf(q, 2))) + u'#' + textOf(q, 3) + u' ' +
                                offlineState(textOf(q, 4), textOf(q, 5)) + u';';
            addRow(report, kDetailFormat, kOfflineTitles, row);
        }
    }

    AppContext& m_ctx;
    QString m_totalsSql;
    QString m_offlineSql;
    int m_chunkRows;
    QSqlQuery m_details;
    bool m_inDetails = false;
    QString m_previous;
};

Printout SummaryReport::compose(const QString& printer, const QString& dateFrom, const QString& dateTo,
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

    auto composer = std::make_shared<Composer>(m_ctx, totalsSql(dateFrom, dateTo),
                                               offlineSql(dateFrom, dateTo), m_chunkRows);
    if (!totalsOnly)
        composer->startDetails(report, detailSql(dateFrom, dateTo));
    if (composer->step(report))
        report.more = [composer](Printout& r) { return composer->guardedStep(r); };
    return report;
}

Printout SummaryReport::build(const QString& printer, const QString& dateFrom, const QString& dateTo,
                              bool totalsOnly) {
    Printout report = compose(printer, dateFrom, dateTo, totalsOnly);
    report.finish();
    if (report.failed)
        throw Fault(Fault::kGeneric, QStringLiteral("報表產生失敗"));
    return report;
}

bool SummaryReport::print(const QString& dateFrom, const QString& dateTo, bool totalsOnly) {
    const QString printer =
        m_ctx.settings.Get(QStringLiteral("ZEL"), QStringLiteral("KP"), QStringLiteral("CPrinter"));
    if (!m_printing.isInstalled(printer, Qt::CaseSensitive)) {
        m_ctx.dialogs.messageBox(QStringLiteral("帳單印表機未安裝:") + printer, Dialogs::Icon::Information,
                                 m_ctx.g.title());
        return false;
    }
    m_ctx.dialogs.busyPointer();
    bool pointerBusy = true;
    const bool shown =
        guard(m_ctx.reporter, tolva::Report::Msg, QStringLiteral("fmTOLVA_cmdPrintS_Click"), false, [&] {
            Printout report = compose(printer, dateFrom, dateTo, totalsOnly);
            m_ctx.dialogs.normalPointer();
            pointerBusy = false;
            m_printing.preview(std::move(report));
            return true;
        });
    // A report that failed to compose does not leave the hourglass behind.
    if (pointerBusy)
        m_ctx.dialogs.normalPointer();
    return shown;
}

} // namespace tolva
