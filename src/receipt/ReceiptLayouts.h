#pragma once

#include "print/Document.h"

#include <QString>
#include <functional>

class QSqlQuery;

namespace tolva {

class AppContext;
class Printing;

// The roll-printer receipts of the point-of-sale family, "TM88列印預覽視窗":
// the bill of one bill number (PrintCheck), the order ticket of one order
// batch of a table (PrintOrder) and the kitchen or bar ticket of the items of
// one batch that go to one station (PrintKB). Each operation reads the
// point-of-sale tables on gCNT, composes the receipt in twips inside a box of
// 3800 x 8000 twips at (400, 100), prints it (or shows it in the preview) and
// selects the printer that was selected before again.
//
// One object is one loaded receipt window: the preview mode, once turned on by
// PrintOrder or PrintKB, stays on for later calls until PrintCheck sets it.
class ReceiptLayouts {
public:
    static constexpr int X0 = 400;
    static constexpr int Y0 = 100;
    static constexpr int W = 3800;
    static constexpr int H = 8000;
    // A page at most this far down goes on; further down, the page is closed.
    static constexpr int kItemsBottom = 7400;
    // Where the totals of a bill start.
    static constexpr int kTotalsTop = 6300;
    // The roll: 80 mm wide, long enough for the box and the closing line.
    static constexpr int kRollWidth = 4535;
    static constexpr int kRollLength = 8640;

    ReceiptLayouts(AppContext& ctx, Printing& printing);

    bool PrintCheck(const QString& pvCPrinter, const QString& pvCheckNo, bool pvPreview);
    bool PrintOrder(const QString& pvOrderPID, const QString& pvOrderTime, bool pvPreview);
    bool PrintKB(const QString& pvOrderPID, const QString& pvOrderTime, const QString& pvKPort,
                 bool pvPreview);

    // The printer the receipts go to; the default printer until one is selected.
    QString selectedPrinter();
    void selectPrinter(const QString& name) {
        m_selected = name;
        m_selectedKnown = true;
    }
    bool previewMode() const { return m_preview; }
    // The last receipt composed (printed or previewed).
    const Document& document() const { return m_vsp; }
    // The window's status line (text, number of beeps).
    std::function<void(const QString&, int)> DispElaMsg;

private:
    struct TicketKind;
    void Form_Load();
    void Check_Head();
    void Check_Tail();
    void Order_Head();
    void KB_Head();
    void Order_Tail();
    bool printTicket(const TicketKind& kind, const QString& table, const QString& batch, bool preview);
    void ticketHead(const TicketKind& kind);
    void headRows(bool order);
    void headLine(const QString& format, const QString& row);
    void finish();
    void show(const QString& text, int icon);
    void status(const QString& text, int beeps);

    AppContext& m_ctx;
    Printing& m_printing;
    Document m_vsp;
    bool m_loaded = false;
    bool m_preview = false;
    bool m_selectedKnown = false;
    QString m_selected;

    // What the heads and tails print.
    QString m_title;
    QString m_orderTime;
    QString m_checkNo;
    QString m_billTime;
    double m_checkAmt = 0;
    QString m_table;
    QString m_guests;
    QString m_orderDate;
    QString m_userID;
};

// Text of a column: empty for null. Number of a column: the numeric value of
// its text (0 for null or a text that is no number).
QString columnText(const QSqlQuery& q, const char* column);
double columnNumber(const QSqlQuery& q, const char* column);

} // namespace tolva
