#include "data/RecordWriters.h"

#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/DataContext.h"

namespace tolva {

SqlColumns VCardLogColumns(const VCardLogRec& rec, const QString& txnDate, const QString& fileDate,
                           bool withPoint) {
    SqlColumns row;
    row.text(QStringLiteral("TxnDept"), rec.TxnDept)
        .text(QStringLiteral("TxnType"), rec.TxnType)
        .text(QStringLiteral("CardNo"), rec.CardNo)
        .sql(QStringLiteral("TxnDate"), txnDate)
        .sql(QStringLiteral("TxnAmt"), plainNumber(numericValue(rec.TxnAmt)));
    if (withPoint)
        row.sql(QStringLiteral("TxnPoint"), plainNumber(numericValue(rec.TxnPoint)));
    row.text(QStringLiteral("RefCheckNo"), rec.RefCheckNo)
        .text(QStringLiteral("POSID"), rec.POSID)
        .text(QStringLiteral("UserID"), rec.UserID)
        .text(QStringLiteral("Remark"), rec.Remark)
        .sql(QStringLiteral("FileDate"), fileDate);
    if (!rec.PostKey.isEmpty())
        row.text(QStringLiteral("PostKey"), rec.PostKey).text(QStringLiteral("AuthCode"), rec.AuthCode);
    return row;
}

VCardLogRec cardLogRow(const PostingRecord& posting) {
    VCardLogRec rec;
    rec.TxnDept = posting.txnDept;
    rec.TxnType = posting.type;
    rec.CardNo = posting.cardNo;
    rec.TxnDate = posting.txnDate;
    rec.TxnAmt = posting.amount;
    rec.TxnPoint = QStringLiteral("0");
    rec.RefCheckNo = posting.billNo;
    rec.POSID = posting.posId;
    rec.UserID = posting.userId;
    rec.Remark = posting.authCode;
    rec.PostKey = posting.key;
    rec.AuthCode = posting.authCode;
    return rec;
}

void insertCardLog(Database& connection, VCardLogRec& rec) {
    const Dialect& dialect = connection.dialect();
    connection.execute(VCardLogColumns(rec, dialect.dateLiteral(rec.TxnDate), dialect.serverDate())
                           .insertInto(QStringLiteral("VCardLog")));
    rec.RNo = connection.lastIdentity();
}

bool ADD_VCardLog(DataContext& ctx, VCardLogRec& rec, Database& connection) {
    return guard(ctx.reporter, Report::Msg, QStringLiteral("ADD_VCardLog"), false, [&] {
        insertCardLog(connection, rec);
        return true;
    });
}

bool ADD_xxCODE(DataContext& ctx, xxCODERec& rec, Database& connection) {
    return guard(ctx.reporter, Report::Log, QStringLiteral("ADD_xxCODE"), false, [&] {
        const QString sql = SqlColumns()
                                .text(QStringLiteral("CodeType"), rec.CodeType)
                                .text(QStringLiteral("Code"), rec.Code)
                                .text(QStringLiteral("Dscp"), rec.Dscp)
                                .text(QStringLiteral("ProgCode"), rec.ProgCode)
                                .text(QStringLiteral("DscpE"), rec.DscpE)
                                .text(QStringLiteral("Remark"), rec.Remark)
                                .sql(QStringLiteral("FileDate"), connection.dialect().serverDate())
                                .insertInto(QStringLiteral("xxCODE"));
        connection.execute(sql);
        rec.RNo = connection.lastIdentity();
        return true;
    });
}

} // namespace tolva
