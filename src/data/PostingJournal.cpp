#include "data/PostingJournal.h"

#include "common/Clock.h"
#include "common/Fault.h"
#include "common/Formatting.h"
#include "db/Database.h"

#include <QSqlQuery>
#include <QStringList>

namespace tolva {

namespace {
// The columns a row is written with; FileDate and UpdDate follow them.
const QString kColumns = QStringLiteral(
    "PostKey, State, TxnType, CardNo, TxnAmt, TxnDept, RefCheckNo, POSID, UserID, TxnDate, AuthCode, "
    "HandOff, AnswerAmt, Note, ReqCheckNo, ReqType, ReqAmt, ReqCustNo, TxnID");
// What a row is read with: the written columns and the row's time.
const QString kSelect = QStringLiteral("SELECT ") + kColumns + QStringLiteral(", FileDate FROM PostJournal ");

// Columns added after the first journals were made: the request as the POS
// station handed it over, and the station's own transaction id.
const char* const kLaterColumns[] = {"ReqCheckNo VARCHAR(100)", "ReqType VARCHAR(2)", "ReqAmt VARCHAR(40)",
                                     "ReqCustNo VARCHAR(100)", "TxnID VARCHAR(64)"};

QString stateCode(JournalState state) {
    return QString(QChar::fromLatin1(static_cast<char>(state)));
}
} // namespace

bool PostingJournal::ensure(QString& why) {
    try {
        const Dialect& d = m_db.dialect();
        if (!m_db.hasTable(QStringLiteral("PostJournal"))) {
            m_db.execute(
                QStringLiteral("CREATE TABLE PostJournal (PostKey VARCHAR(100) NOT NULL PRIMARY KEY, "
                               "State CHAR(1) NOT NULL, TxnType VARCHAR(2), CardNo VARCHAR(30), "
                               "TxnAmt NUMERIC(18,4), TxnDept VARCHAR(20), RefCheckNo VARCHAR(30), "
                               "POSID VARCHAR(10), UserID VARCHAR(20), TxnDate %1, AuthCode VARCHAR(20), "
                               "HandOff VARCHAR(1), AnswerAmt VARCHAR(20), Note VARCHAR(100), FileDate %1, "
                               "UpdDate %1)")
                    .arg(d.timestampType()));
            m_db.execute(QStringLiteral("CREATE INDEX IX_PostJournal_State ON PostJournal (State)"));
        }
        for (const char* column : kLaterColumns) {
            const QString definition = QString::fromLatin1(column);
            if (!m_db.hasColumn(QStringLiteral("PostJournal"), definition.section(u' ', 0, 0)))
                m_db.execute(d.addColumn(QStringLiteral("PostJournal"), definition));
        }
        if (!m_db.hasColumn(QStringLiteral("VCardLog"), QStringLiteral("PostKey")))
            m_db.execute(d.addColumn(QStringLiteral("VCardLog"), QStringLiteral("PostKey VARCHAR(100)")));
        if (!m_db.hasColumn(QStringLiteral("VCardLog"), QStringLiteral("AuthCode")))
            m_db.execute(d.addColumn(QStringLiteral("VCardLog"), QStringLiteral("AuthCode VARCHAR(20)")));
        return true;
    } catch (const Fault& f) {
        why = f.message();
        return false;
    }
}

void PostingJournal::add(const PostingRecord& p, JournalState state) {
    const QVariant now = m_db.dialect().dateValue(m_clock.now());
    const HandedRequest& r = p.request;
    // The request's values bind as '' when empty, so the lookup by them
    // compares texts and never meets a NULL.
    QSqlQuery& q = m_db.runPrepared(
        QStringLiteral("INSERT INTO PostJournal (") + kColumns +
            QStringLiteral(", FileDate, UpdDate) VALUES "
                           "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {p.key,
         stateCode(state),
         p.type,
         p.cardNo,
         p.amount,
         p.txnDept,
         p.billNo,
         p.posId,
         p.userId,
         m_db.dialect().dateValue(p.txnDate.startOfDay()),
         p.authCode,
         p.handOff ? QStringLiteral("1") : QStringLiteral("0"),
         p.answerAmount,
         QString(),
         boundText(r.checkNo),
         boundText(r.type),
         boundText(r.amount),
         boundText(r.cardNo),
         boundText(r.txnId),
         now,
         now});
    q.finish();
}

void PostingJournal::setState(const QString& key, JournalState state, const QString& note) {
    QSqlQuery& q = m_db.runPrepared(
        QStringLiteral("UPDATE PostJournal SET State = ?, Note = ?, UpdDate = ? WHERE PostKey = ?"),
        {stateCode(state), note, m_db.dialect().dateValue(m_clock.now()), key});
    q.finish();
}

JournalRow PostingJournal::rowAt(QSqlQuery& q) const {
    JournalRow row;
    PostingRecord& p = row.posting;
    p.key = q.value(0).toString();
    const QString state = q.value(1).toString();
    row.state = static_cast<JournalState>(state.isEmpty() ? 'U' : state.at(0).toLatin1());
    p.type = q.value(2).toString();
    p.cardNo = q.value(3).toString();
    p.amount = plainNumber(q.value(4).toDouble());
    p.txnDept = q.value(5).toString();
    p.billNo = q.value(6).toString();
    p.posId = q.value(7).toString();
    p.userId = q.value(8).toString();
    if (const std::optional<QDateTime> date = readAsDate(q.value(9)))
        p.txnDate = date->date();
    p.authCode = q.value(10).toString();
    p.handOff = q.value(11).toString() == QLatin1String("1");
    p.answerAmount = q.value(12).toString();
    row.note = q.value(13).toString();
    HandedRequest& r = p.request;
    r.checkNo = q.value(14).toString();
    r.type = q.value(15).toString();
    r.amount = q.value(16).toString();
    r.cardNo = q.value(17).toString();
    r.txnId = q.value(18).toString();
    if (const std::optional<QDateTime> at = readAsDate(q.value(19)))
        row.fileDate = *at;
    return row;
}

std::optional<JournalRow> PostingJournal::find(const QString& key) {
    QSqlQuery& q = m_db.runPrepared(kSelect + QStringLiteral("WHERE PostKey = ?"), {key});
    std::optional<JournalRow> row;
    if (q.next())
        row = rowAt(q);
    q.finish();
    return row;
}

std::optional<JournalRow> PostingJournal::findHandOff(const QString& posId, const HandedRequest& request) {
    // A station's own transaction id names the transaction by itself; without
    // one, the request's values as handed over do.
    const QString taken =
        QStringLiteral("HandOff = '1' AND POSID = ? AND State IN ('U', 'P', 'O', 'S') AND ");
    const QString order = QStringLiteral(" ORDER BY FileDate DESC");
    QSqlQuery& q =
        request.txnId.isEmpty()
            ? m_db.runPrepared(kSelect + QStringLiteral("WHERE ") + taken +
                                   QStringLiteral("ReqCheckNo = ? AND ReqType = ? AND ReqAmt = ? AND "
                                                  "ReqCustNo = ?") +
                                   order,
                               {boundText(posId), boundText(request.checkNo), boundText(request.type),
                                boundText(request.amount), boundText(request.cardNo)})
            : m_db.runPrepared(kSelect + QStringLiteral("WHERE ") + taken + QStringLiteral("TxnID = ?") +
                                   order,
                               {boundText(posId), boundText(request.txnId)});
    std::optional<JournalRow> row;
    if (q.next())
        row = rowAt(q);
    q.finish();
    return row;
}

QList<JournalRow> PostingJournal::inState(JournalState state, const QString& posId) {
    QSqlQuery& q =
        m_db.runPrepared(kSelect + QStringLiteral("WHERE State = ? AND POSID = ? ORDER BY FileDate"),
                         {stateCode(state), boundText(posId)});
    QList<JournalRow> rows;
    while (q.next())
        rows.append(rowAt(q));
    q.finish();
    return rows;
}

} // namespace tolva
