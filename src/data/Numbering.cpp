#include "data/Numbering.h"

#include "common/Formatting.h"
#include "common/Guard.h"
#include "data/DataContext.h"
#include "db/SqlTransaction.h"

#include <QSqlQuery>

namespace tolva {

namespace {

QString seriesWhere(const QString& noCode, const QString& noBy) {
    return QStringLiteral(" Where NoCode = ") + QuotStr(noCode) + QStringLiteral("   And NoBy = ") +
           QuotStr(noBy);
}

// One allocation in one transaction. Gives false when the row changed between
// the read and the update (only possible where the connection takes no row
// lock); sets inserting just before it adds a new series. Throws on failure;
// the transaction is then rolled back.
bool tryAllocate(DataContext& ctx, const QString& noCode, const QString& noBy, qint64& no, bool& inserting) {
    Database& db = ctx.gCNT;
    const QString where = seriesWhere(noCode, noBy);
    QString sql = db.dialect().lockedSelect(QStringLiteral("xxNO"), where);

    // Station time, not server time.
    const QString now = db.dialect().dateLiteral(ctx.clock.now());
    SqlTransaction tx(db); // on SQLite a BEGIN IMMEDIATE: the write lock is ours from here
    QSqlQuery rs = db.query(sql);
    if (!rs.next()) {
        rs.finish();
        sql = QStringLiteral("INSERT INTO xxNO (NoCode, NoBy, NoNext, FileDate, UpdDate) VALUES (") +
              QuotStr(noCode) + QStringLiteral(", ") + QuotStr(noBy) + QStringLiteral(", 2, ") + now +
              QStringLiteral(", ") + now + QStringLiteral(")");
        inserting = true;
        db.execute(sql);
        inserting = false;
        tx.commit();
        no = 1;
        return true;
    }

    bool ok = false;
    const qint64 next = rs.value(QStringLiteral("NoNext")).toString().toLongLong(&ok);
    rs.finish();
    if (!ok)
        throw Fault(Fault::kGeneric, QStringLiteral("流水號資料錯誤, xxNO 的 NoNext 不是數字:") + where);
    // The NoNext condition makes a lost update impossible even where no row
    // lock was taken.
    sql = QStringLiteral("Update xxNO Set NoNext = ") + QString::number(next + 1) +
          QStringLiteral(", UpdDate = ") + now + where + QStringLiteral(" And NoNext = ") +
          QString::number(next);
    if (db.execute(sql) != 1)
        return false;
    tx.commit();
    no = next;
    return true;
}

} // namespace

bool getNoMDB(DataContext& ctx, const QString& noCode, const QString& noBy, qint64& no, QString* formatted) {
    return guard(ctx.reporter, Report::Msg, QStringLiteral("getNoMDB"), false, [&] {
        qint64 taken = 0;
        bool done = false;
        for (int attempt = 0; attempt < 2 && !done; ++attempt) {
            bool inserting = false;
            try {
                done = tryAllocate(ctx, noCode, noBy, taken, inserting);
            } catch (const Fault&) {
                // Adding the series failed and the series is there now: another
                // station added it first. Its row is committed, so try again.
                if (attempt > 0 || !inserting ||
                    !ctx.gCNT.hasRow(QStringLiteral("Select NoNext From xxNO") + seriesWhere(noCode, noBy)))
                    throw;
            }
        }
        if (!done)
            throw Fault(Fault::kGeneric, QStringLiteral("流水號正被其他工作站使用, 請再試一次: ") + noCode +
                                             QLatin1Char('/') + noBy);
        no = taken;
        if (formatted)
            *formatted = formatNo(noBy, taken);
        return true;
    });
}

QString formatNo(const QString& noBy, qint64 no) {
    if (no > 999)
        return noBy + QStringLiteral("%1").arg(no, 4, 10, QLatin1Char('0'));
    return noBy + QLatin1Char('-') + QStringLiteral("%1").arg(no, 3, 10, QLatin1Char('0'));
}

} // namespace tolva
