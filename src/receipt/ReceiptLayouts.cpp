#include "receipt/ReceiptLayouts.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "common/Utilities.h"
#include "data/Messages.h"
#include "data/Numbering.h"
#include "print/Printing.h"
#include "print/Printout.h"
#include "receipt/AmountFormat.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace tolva {

namespace {

const QString kCaption = QStringLiteral("TM88列印預覽視窗");
const QString kFont = QStringLiteral("標楷體");
const QString kThanks = QStringLiteral("<謝謝光臨>");
constexpr int kInformation = 1;
constexpr int kWarning = 2;
constexpr int kCritical = 3;

QString number4(qint64 no) {
    return QStringLiteral("%1").arg(no, 4, 10, QLatin1Char('0'));
}

QString yyyymmdd(const QString& date) {
    const auto d = readAsDate(date);
    return d ? d->toString(QStringLiteral("yyyyMMdd")) : date;
}

// The item text of a ticket row: " -" before a sub-item ("S2"), parentheses
// around an add-on ("A1", "T1"), then "-" and the price caption when there is one.
QString ticketItemText(const QSqlQuery& q) {
    const QString type = columnText(q, "ItemType");
    QString name = columnText(q, "ItemName");
    if (type == QLatin1String("S2"))
        name = QStringLiteral(" -") + name;
    else if (type == QLatin1String("A1") || type == QLatin1String("T1"))
        name = QStringLiteral(" (") + name + QStringLiteral(") ");
    const QString cap = columnText(q, "PriceCap");
    return cap.isEmpty() ? name : name + u'-' + cap;
}

} // namespace

QString columnText(const QSqlQuery& q, const char* column) {
    const QVariant v = q.value(QString::fromLatin1(column));
    return v.isNull() ? QString() : v.toString();
}

double columnNumber(const QSqlQuery& q, const char* column) {
    return numericValue(columnText(q, column));
}

// What tells an order ticket from a kitchen or bar ticket.
struct ReceiptLayouts::TicketKind {
    QString procedure;
    QString printerKey;
    QString notSet;
    QString station; // empty: the order ticket of the whole batch
    QString series;
    QString titlePrefix;
    double itemFontSize;
};

ReceiptLayouts::ReceiptLayouts(AppContext& ctx, Printing& printing) : m_ctx(ctx), m_printing(printing) {}

QString ReceiptLayouts::selectedPrinter() {
    if (!m_selectedKnown) {
        m_selected = m_printing.defaultPrinter();
        m_selectedKnown = true;
    }
    return m_selected;
}

void ReceiptLayouts::Form_Load() {
    if (m_loaded)
        return;
    m_loaded = true;
    selectedPrinter();
    m_preview = false;
    m_vsp.setPaperSize(kRollWidth, kRollLength);
    m_vsp.setMarginTop(Y0);
    m_vsp.setMarginBottom(0);
    m_vsp.setMarginLeft(X0);
    m_vsp.setMarginRight(300);
    m_vsp.setFontName(kFont);
    m_vsp.setTableBorder(10);
}

void ReceiptLayouts::show(const QString& text, int icon) {
    m_ctx.dialogs.messageBox(text, Dialogs::Icon(icon), kCaption);
}

void ReceiptLayouts::status(const QString& text, int beeps) {
    if (DispElaMsg)
        DispElaMsg(text, beeps);
}

// Prints the receipt to the selected printer, or shows it in the preview.
void ReceiptLayouts::finish() {
    if (m_preview) {
        Printout out;
        out.document = m_vsp;
        out.header = kCaption;
        m_printing.preview(std::move(out));
    } else {
        m_printing.print(m_vsp, m_selected);
    }
}

bool ReceiptLayouts::PrintCheck(const QString& pvCPrinter, const QString& pvCheckNo, bool pvPreview) {
    return guard(m_ctx.reporter, Report::Msg, QStringLiteral("frmTM88II_PrintCheck"), false, [&] {
        Form_Load();
        const QString before = selectedPrinter();
        if (!m_printing.isInstalled(pvCPrinter, Qt::CaseSensitive)) {
            show(QStringLiteral("沒有安裝結帳單印表機:") + pvCPrinter, kWarning);
            return false;
        }
        const QString quoted = QuotStr(pvCheckNo);
        QSqlQuery head = m_ctx.gCNT.query(QStringLiteral("SELECT *") + QStringLiteral(" From OCHECK") +
                                          QStringLiteral(" WHERE CheckNo = ") + quoted +
                                          QStringLiteral(" ORDER BY CheckNo"));
        QSqlQuery items = m_ctx.gCNT.query(QStringLiteral("SELECT *") + QStringLiteral(" From viewORDERI") +
                                           QStringLiteral(" WHERE CheckNo = ") + quoted +
                                           QStringLiteral(" order by OrderPID, OrderTime, ListNo"));
        // A bill is printed from its own rows only, never with another bill's values.
        if (!head.next() || !items.next()) {
            show(QStringLiteral("查無此帳單:") + pvCheckNo, kWarning);
            return false;
        }
        m_preview = pvPreview;
        m_selected = pvCPrinter;
        m_checkNo = columnText(head, "CheckNo");
        m_checkAmt = columnNumber(head, "CheckAmt");
        m_billTime = columnText(head, "BillTime");
        const double service = columnNumber(head, "Service");
        const double orderAmt = columnNumber(head, "OrderAmt");
        const double tax = columnNumber(head, "Tax");
        const double discount = columnNumber(head, "Discount");
        m_table = columnText(items, "OrderPID");
        m_guests = plainNumber(columnNumber(items, "CustTotal"));

        m_vsp.startDoc();
        Check_Head();
        m_vsp.setFontSize(10);
        m_vsp.setTableBorder(0);
        const QString itemFormat = QStringLiteral("2300|^650|>850 ");
        do {
            const QString table = columnText(items, "OrderPID");
            if (table != m_table) {
                m_table = table;
                m_guests = plainNumber(columnNumber(items, "CustTotal"));
                Check_Tail();
                m_vsp.newPage();
                Check_Head();
            }
            if (m_vsp.currentY() > kItemsBottom) {
                Check_Tail();
                m_vsp.newPage();
                Check_Head();
            }
            m_vsp.setTableBorder(0);
            m_vsp.setTextAlign(6);
            m_vsp.setFontSize(10);
            m_vsp.setFontBold(false);
            const QString cap = columnText(items, "PriceCap");
            const QString name = columnText(items, "ItemName");
            m_vsp.addTable(itemFormat, QString(),
                           (cap.isEmpty() ? name : name + u'-' + cap) + u'|' +
                               plainNumber(columnNumber(items, "Qty")) + u'|' +
                               plainNumber(columnNumber(items, "Amt")) + u';');
        } while (items.next());
        m_vsp.drawLine(m_vsp.marginLeft(), m_vsp.currentY(), m_vsp.marginLeft() + W, m_vsp.currentY());
        if (m_vsp.currentY() > kTotalsTop) {
            Check_Tail();
            m_vsp.newPage();
            Check_Head();
        }
        m_vsp.setCurrentY(kTotalsTop);
        m_vsp.setFontSize(10);
        m_vsp.setFontBold(true);
        m_vsp.setTableBorder(4);
        m_vsp.setTextAlign(1);
        const auto total = [&](const QString& label, double amount) {
            m_vsp.addTable(QStringLiteral(">1200|>1200;"), QString(),
                           label + u'|' + formatAmount(amount, m_ctx.g.gAmtFmt) + QStringLiteral("元;"));
        };
        total(QStringLiteral("消費金額:"), orderAmt);
        total(QStringLiteral("服務費:"), service);
        if (discount > 0)
            total(QStringLiteral("折扣-它項:"), discount);
        if (tax > 0)
            total(QStringLiteral("加計項:"), tax);
        total(QStringLiteral("結帳金額:"), m_checkAmt);
        Check_Tail();
        m_vsp.endDoc();
        finish();
        m_selected = before;
        return true;
    });
}

void ReceiptLayouts::Check_Head() {
    m_vsp.drawBox(X0, Y0, X0 + W, Y0 + H);
    m_vsp.setTextAlign(1);
    m_vsp.setFontSize(14);
    m_vsp.setCurrentY(Y0 + 100);
    m_vsp.printText(m_ctx.g.gCustName);
    m_vsp.setTextAlign(6);
    m_vsp.setFontSize(10);
    const auto at = [&](int x, int y, const QString& text) {
        m_vsp.setCurrentX(X0 + x);
        m_vsp.setCurrentY(Y0 + y);
        m_vsp.printText(text);
    };
    at(100, 400, QStringLiteral("時間:"));
    at(600, 400, m_ctx.clock.now().toString(QStringLiteral("MM/dd HH:mm")));
    if (!m_billTime.isEmpty())
        at(2700, 400, QStringLiteral("收款:") + m_billTime);
    m_vsp.printText(QStringLiteral("\n"));
    m_vsp.drawLine(X0, m_vsp.currentY(), X0 + W, m_vsp.currentY());
    at(100, 800,
       QStringLiteral("結帳單:") + m_checkNo + (m_billTime.isEmpty() ? QString() : QStringLiteral("(收)")));
    at(2700, 800, QStringLiteral("頁次:") + QString::number(m_vsp.currentPage()));
    at(100, 1100, QStringLiteral("桌次:") + m_table);
    at(2700, 1100, QStringLiteral("人數:") + m_guests);
    m_vsp.setTableBorder(6);
    m_vsp.setCurrentY(Y0 + 1500);
    m_vsp.setFontBold(true);
    m_vsp.addTable(QStringLiteral("<2300|^650|>850 "), QString(), QStringLiteral("      品名|數量|金額 ;"));
    m_vsp.setFontBold(false);
}

void ReceiptLayouts::Check_Tail() {
    m_vsp.setFontBold(false);
    m_vsp.setTextAlign(0);
    m_vsp.setFontName(kFont);
    m_vsp.setFontSize(10);
    m_vsp.setCurrentX(X0);
    m_vsp.setCurrentY(Y0 + H + 50);
    m_vsp.printText(kThanks);
}

bool ReceiptLayouts::PrintOrder(const QString& pvOrderPID, const QString& pvOrderTime, bool pvPreview) {
    static const TicketKind order{QStringLiteral("frmTM88II_PrintOrder"),
                                  QStringLiteral("OPrinter"),
                                  QStringLiteral("未設定點單印表機, 無法列印"),
                                  QString(),
                                  QStringLiteral("O"),
                                  QStringLiteral("點菜單號 - "),
                                  10};
    return printTicket(order, pvOrderPID, pvOrderTime, pvPreview);
}

bool ReceiptLayouts::PrintKB(const QString& pvOrderPID, const QString& pvOrderTime, const QString& pvKPort,
                             bool pvPreview) {
    const bool bar = pvKPort == QLatin1String("PB");
    const TicketKind kb{QStringLiteral("frmTM88II_PrintKB"),
                        bar ? QStringLiteral("BPrinter") : QStringLiteral("KPrinter"),
                        bar ? QStringLiteral("未設定吧檯印表機, 無法列印")
                            : QStringLiteral("未設定廚房印表機, 無法列印"),
                        pvKPort,
                        pvKPort,
                        bar                              ? QStringLiteral("吧檯單-")
                        : pvKPort == QLatin1String("PK") ? QStringLiteral("廚房出菜單-")
                                                         : QString(),
                        12};
    return printTicket(kb, pvOrderPID, pvOrderTime, pvPreview);
}

bool ReceiptLayouts::printTicket(const TicketKind& kind, const QString& table, const QString& batch,
                                 bool preview) {
    return guard(m_ctx.reporter, Report::Msg, kind.procedure, false, [&] {
        Form_Load();
        const QString before = selectedPrinter();
        if (preview)
            m_preview = true;
        const QString printer =
            m_ctx.settings.Get(QStringLiteral("ZEL"), QStringLiteral("KP"), kind.printerKey);
        if (printer.isEmpty()) {
            show(kind.notSet, kInformation);
            return false;
        }
        m_selected = printer;

        QSqlQuery head = m_ctx.gCNT.query(QStringLiteral(" SELECT *") + QStringLiteral(" From ORDERH") +
                                          QStringLiteral(" Where OPDate Is Null") +
                                          QStringLiteral("   AND OrderPID = ") + QuotStr(table));
        if (!head.next()) {
            show(IDMSG(m_ctx, QStringLiteral("ErrorGetOrderH"), table), kCritical);
            return false;
        }
        m_table = columnText(head, "OrderPID");
        m_guests = plainNumber(columnNumber(head, "CustTotal"));
        m_orderDate = columnText(head, "OrderDate");
        m_userID = columnText(head, "UserID");

        QString sql = QStringLiteral(" SELECT *") + QStringLiteral(" From ORDERI") +
                      QStringLiteral(" Where OPDate Is Null") + QStringLiteral("   AND OrderPID = ") +
                      QuotStr(table) + QStringLiteral("   AND OrderTime = ") + QuotStr(batch);
        if (!kind.station.isEmpty())
            sql += QStringLiteral("   AND KPort = ") + QuotStr(kind.station);
        QSqlQuery items = m_ctx.gCNT.query(sql + QStringLiteral("   ORDER BY ListNO"));
        if (!items.next()) {
            if (!kind.station.isEmpty()) {
                m_selected = before;
                return true;
            }
            show(IDMSG(m_ctx, QStringLiteral("ErrorGetOrderI"), table, batch), kCritical);
            return false;
        }

        const QString day = yyyymmdd(m_orderDate);
        qint64 no = 0;
        if (!getNoMDB(m_ctx, kind.series, day, no)) {
            show(IDMSG(m_ctx, QStringLiteral("ErrorGetNoMDB"), kind.series + u' ' + day), kCritical);
            return false;
        }
        m_title = kind.titlePrefix + number4(no);

        status(IDMSG(m_ctx, QStringLiteral("PrintSlip..")), 1);
        m_vsp.startDoc();
        m_orderTime = batch.left(5);
        ticketHead(kind);
        do {
            if (m_vsp.currentY() > kItemsBottom) {
                Order_Tail();
                m_vsp.newPage();
                ticketHead(kind);
            }
            m_vsp.setTableBorder(0);
            m_vsp.setTextAlign(6);
            m_vsp.setFontSize(kind.itemFontSize);
            m_vsp.setFontBold(false);
            m_vsp.addTable(QStringLiteral("^500|<2000|>500|<800;"), QString(),
                           plainNumber(columnNumber(items, "ListNo")) + u'|' + ticketItemText(items) + u'|' +
                               plainNumber(columnNumber(items, "Qty")) + u'|' + columnText(items, "Remark") +
                               u';');
        } while (items.next());
        m_vsp.drawLine(m_vsp.marginLeft(), m_vsp.currentY(), m_vsp.marginLeft() + W, m_vsp.currentY());
        Order_Tail();
        m_vsp.endDoc();
        status(LocalMsg(m_ctx, QStringLiteral("PrintSlipOK")), 2);
        finish();
        m_selected = before;
        return true;
    });
}

void ReceiptLayouts::ticketHead(const TicketKind& kind) {
    if (kind.station.isEmpty())
        Order_Head();
    else
        KB_Head();
}

// One row of a ticket head in the head's own style.
void ReceiptLayouts::headLine(const QString& format, const QString& row) {
    m_vsp.addTable(format, QString(), row);
}

void ReceiptLayouts::Order_Head() {
    m_vsp.drawBox(X0, Y0, X0 + W, Y0 + H);
    headRows(true);
}

void ReceiptLayouts::KB_Head() {
    headRows(false);
}

// The title, the line under it, the rows of the table and the column titles.
// The kitchen head has no box, no guests and no waiter's row.
void ReceiptLayouts::headRows(bool order) {
    m_vsp.setTextAlign(1);
    m_vsp.setFontSize(14);
    m_vsp.setCurrentY(Y0 + 100);
    m_vsp.printText(m_title + u'\n');
    m_vsp.drawLine(X0, m_vsp.currentY(), X0 + 3800, m_vsp.currentY());
    m_vsp.setTextAlign(6);
    m_vsp.setFontSize(10);
    m_vsp.setFontBold(false);
    m_vsp.setTableBorder(0);
    const QString format = QStringLiteral(">900|<1200|>900|<800;");
    const QString page = QString::number(m_vsp.currentPage());
    const QString date = DBDateDisp(m_ctx.g, m_orderDate);
    if (order) {
        headLine(format, QStringLiteral("桌 次:|") + m_table + QStringLiteral("|人 數:|") + m_guests + u';');
        headLine(format, QStringLiteral("日 期:|") + date + QStringLiteral("|時 間:|") + m_orderTime + u';');
        headLine(format, QStringLiteral("服務員|") + PadTextB(m_ctx.codePage, m_userID, 9) +
                             QStringLiteral("|頁 次:|") + page + u';');
    } else {
        headLine(format, QStringLiteral("桌 次:|") + m_table + QStringLiteral("|頁 次:|") + page + u';');
        headLine(format, QStringLiteral("日 期:|") + date + QStringLiteral("|時 間:|") + m_orderTime + u';');
    }
    m_vsp.setCurrentY(m_vsp.currentY() + 100);
    m_vsp.setTableBorder(order ? 6 : 1);
    m_vsp.setTextAlign(6);
    m_vsp.setFontSize(10);
    m_vsp.setFontBold(true);
    headLine(QStringLiteral("^550|<1900|>550|<800;"), QStringLiteral("項次|品   名|數量|備註;"));
    m_vsp.setFontBold(false);
}

void ReceiptLayouts::Order_Tail() {
    m_vsp.setCurrentY(Y0 + H + 50);
    m_vsp.setFontBold(false);
    m_vsp.setTextAlign(0);
    m_vsp.setFontName(kFont);
    m_vsp.setFontSize(10);
    m_vsp.printText(kThanks);
}

} // namespace tolva
