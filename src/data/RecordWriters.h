#pragma once

#include "common/PostingRecord.h"
#include "db/SqlColumns.h"

#include <QString>
#include <QVariant>

namespace tolva {

class DataContext;
class Database;

// One row of the card transaction log VCardLog. TxnAmt and TxnPoint are the
// texts as entered; their leading numeric part is written ("1,050" gives 1).
// A TxnDate that does not read as a date is written as NULL.
struct VCardLogRec {
    qint64 RNo = 0;
    QString TxnDept, TxnType, CardNo;
    QVariant TxnDate;
    QString TxnAmt, TxnPoint, RefCheckNo, POSID, UserID, Remark;
    // The posting key and the phone authorisation code: written only when
    // set, so rows of postings without a key keep today's column list.
    QString PostKey, AuthCode;
};

// The columns of a VCardLog row in their one order: txnDate and fileDate are
// ready SQL (a date literal, the server's time expression); TxnAmt and
// TxnPoint are written as their leading numeric part. The link's copy of the
// row leaves TxnPoint out (withPoint false).
SqlColumns VCardLogColumns(const VCardLogRec& rec, const QString& txnDate, const QString& fileDate,
                           bool withPoint = true);

// The VCardLog row of a posting: its department, type, card, business date,
// amount, bill, station and operator, no points; the phone code (empty
// unless the posting was recorded offline) as remark and beside the key.
VCardLogRec cardLogRow(const PostingRecord& posting);

// Inserts the row on connection (FileDate is the server's time) and puts the
// new row's identity into rec.RNo. Throws a Fault on failure and shows
// nothing: inside a transaction the caller lets it roll back first, so no
// box stands while the write lock is held.
void insertCardLog(Database& connection, VCardLogRec& rec);

// insertCardLog outside a transaction, its failure shown at once; a failure
// after the insert leaves the row inserted without RNo.
bool ADD_VCardLog(DataContext& ctx, VCardLogRec& rec, Database& connection);

// One row of the shared code table xxCODE.
struct xxCODERec {
    qint64 RNo = 0;
    QString CodeType, Code, Dscp, ProgCode, DscpE, Remark;
};

// Inserts the row on connection and puts its identity into rec.RNo. A failure
// goes to the error file only; the caller decides what the operator sees.
bool ADD_xxCODE(DataContext& ctx, xxCODERec& rec, Database& connection);

} // namespace tolva
