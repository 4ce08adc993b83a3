#pragma once

#include "db/Database.h"

#include <QString>

// Point-of-sale rows for the receipt tests: one bill, its order heads and items.
struct ReceiptRows {
    tolva::Database& db;

    void bill(const QString& checkNo, double orderAmt, double service, double discount, double tax,
              const QString& billTime = QStringLiteral("12:30")) {
        db.execute(QStringLiteral("INSERT INTO OCHECK (CheckNo, BillTime, CheckAmt, Service, OrderAmt, Tax, "
                                  "Discount) VALUES ('%1', '%2', %3, %4, %5, %6, %7)")
                       .arg(checkNo, billTime)
                       .arg(orderAmt + service - discount + tax)
                       .arg(service)
                       .arg(orderAmt)
                       .arg(tax)
                       .arg(discount));
    }
    void head(const QString& table, const QString& checkNo, int guests,
              const QString& waiter = QStringLiteral("waiter01")) {
        db.execute(QStringLiteral("INSERT INTO ORDERH (OrderPID, CheckNo, CustTotal, OrderDate, UserID) "
                                  "VALUES ('%1', '%2', %3, '2026/12/08', '%4')")
                       .arg(table, checkNo)
                       .arg(guests)
                       .arg(waiter));
    }
    void item(const QString& table, const QString& checkNo, const QString& batch, int listNo,
              const QString& name, const QString& type, const QString& cap, const QString& remark, int qty,
              int amt, const QString& station) {
        db.execute(
            QStringLiteral("INSERT INTO ORDERI (OrderPID, OrderTime, ListNo, CheckNo, ItemName, ItemType, "
                           "PriceCap, Remark, Qty, Amt, KPort) VALUES ('%1', '%2', %3, '%4', '%5', '%6', "
                           "'%7', '%8', %9, %10, '%11')")
                .arg(table, batch)
                .arg(listNo)
                .arg(checkNo, name, type, cap, remark)
                .arg(qty)
                .arg(amt)
                .arg(station));
    }
};
