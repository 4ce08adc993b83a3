#include "data/PostingJournal.h"

#include "common/Clock.h"
#include "common/Fault.h"
#include "common/Formatting.h"
#include "db/Database.h"

#include <QSqlQuery>
#include <QStringList>

namespace tolva {

namespace {
const QString kColumns = QStringLiteral(
    "PostKey, State, TxnType, CardNo, TxnAmt, TxnDept, RefCheckNo, POSID, UserID, TxnDate, AuthCode, "
    "HandOff, AnswerAmt, Note");

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
                    .arg(d.timestampType));
            m_db.execute(QStringLiteral("CREATE INDEX IX_PostJournal_State ON PostJournal (State)"));
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
    const QDateTime now = m_clock.now();
    QSqlQuery& q = m_db.runPrepared(QStringLiteral("INSERT INTO PostJournal (") + kColumns +
                                        QStringLiteral(", FileDate, UpdDate) VALUES "
                                                       "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                                    {p.key, stateCode(state), p.type, p.cardNo, p.amount, p.txnDept, p.billNo,
                                     p.posId, p.userId, m_db.dialect().dateValue(p.txnDate.startOfDay()),
                                     p.authCode, p.handOff ? QStringLiteral("1") : QStringLiteral("0"),
                                     p.answerAmount, QString(), now, now});
    q.finish();
}

void PostingJournal::setState(const QString& key, JournalState state, const QString& note) {
    QSqlQuery& q = m_db.runPrepared(
        QStringLiteral("UPDATE PostJournal SET State = ?, Note = ?, UpdDate = ? WHERE PostKey = ?"),
        {stateCode(state), note, m_clock.now(), key});
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
    return row;
}

std::optional<JournalRow> PostingJournal::find(const QString& key) {
    QSqlQuery& q = m_db.runPrepared(
        QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM PostJournal WHERE PostKey = ?"), {key});
    std::optional<JournalRow> row;
    if (q.next())
        row = rowAt(q);
    q.finish();
    return row;
}

std::optional<JournalRow> PostingJournal::findHandOff(const QString& posId, const QString& billNo,
                                                      const QString& type, const QString& answerAmount,
                                                      const QString& cardNo) {
    QSqlQuery& q = m_db.runPrepared(
        QStringLiteral("SELECT ") + kColumns +
            QStringLiteral(" FROM PostJournal WHERE HandOff = '1' AND POSID = ? AND RefCheckNo = ? AND "
                           "TxnType = ? AND AnswerAmt = ? AND (? = '' OR CardNo = ?) AND "
                           "State IN ('U', 'P', 'O', 'S') ORDER BY FileDate DESC"),
        // A null string would bind as NULL, which equals nothing, not even ''.
        {posId, billNo, type, answerAmount, cardNo.isNull() ? QStringLiteral("") : cardNo, cardNo});
    std::optional<JournalRow> row;
    if (q.next())
        row = rowAt(q);
    q.finish();
    return row;
}

QList<JournalRow> PostingJournal::inState(JournalState state) {
    QSqlQuery& q = m_db.runPrepared(QStringLiteral("SELECT ") + kColumns +
                                        QStringLiteral(" FROM PostJournal WHERE State = ? ORDER BY FileDate"),
                                    {stateCode(state)});
    QList<JournalRow> rows;
    while (q.next())
        rows.append(rowAt(q));
    q.finish();
    return rows;
}

} // namespace tolva
