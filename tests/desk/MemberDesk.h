#pragma once

#include "desk/Controls.h"
#include "desk/Desk.h"
#include "link/LinkClient.h"
#include "support/DeskFixture.h"
#include "support/FakeDeskView.h"
#include "support/MemberdProcess.h"

#include <QSqlQuery>
#include <memory>

// A desk in remote mode against the real memberd on a loopback address of
// its own (the address given, moved into the test process's block; the desk
// is pointed at memberd->address()), with a member database (SQLite unless a
// connection string is given) holding the cards the test seeds, and the
// desk's own SQLite database holding the store id S01 and bill A0012.
struct MemberDesk {
    DeskFixture f;
    tolva::Database member;
    std::unique_ptr<MemberdProcess> memberd;
    FakeDeskView view;
    tolva::LinkClient link{f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage};
    tolva::Desk desk{f.ctx, view, link};

    // memberdArgs: by default the service announces no keyed postings, so
    // the statement sequence runs; tests of keyed postings pass {}.
    explicit MemberDesk(const QString& address, const QString& memberConn = QString(),
                        const QStringList& memberdArgs = {QStringLiteral("--no-keyed-postings")}) {
        const QString conn = memberConn.isEmpty() ? QStringLiteral("Provider=SQLite;Data Source=") +
                                                        f.dir.filePath(QStringLiteral("member.db"))
                                                  : memberConn;
        member.open(conn);
        memberd = std::make_unique<MemberdProcess>(address, conn, memberdArgs);
        f.ctx.gCNT.execute(
            QStringLiteral("INSERT INTO xxPARAM (ParamID, ParamValue) VALUES ('StoreID', 'S01')"));
        f.ctx.gCNT.execute(QStringLiteral("INSERT INTO OCHECK (CheckNo, StoreID) VALUES ('A0012', 'S01')"));
        f.save("ZELQ", "TOLVA", "IP", memberd->address());
        f.save("ZELQ", "TOLVA", "PWD", QStringLiteral("secret"));
        desk.setPause([](int) {});
    }

    void addCard(const QString& card, const QString& name, double balance) {
        member.execute(
            QStringLiteral(
                "INSERT INTO CUST (CustNo, CustName, TBonusAmt, UserID) VALUES ('%1', '%2', %3, 'issuer')")
                .arg(card, name, QString::number(balance)));
    }
    void handOff(const QString& type, const QString& amount, const QString& card,
                 const QString& bill = QStringLiteral("A0012")) {
        f.save("ZEL", "TOLVA", "CheckNo", bill);
        f.save("ZEL", "TOLVA", "TxnAmt", amount);
        f.save("ZEL", "TOLVA", "TxnType", type);
        f.save("ZEL", "TOLVA", "CustNo", card);
    }
    static double value(tolva::Database& db, const QString& sql) {
        QSqlQuery q = db.query(sql);
        return q.next() ? q.value(0).toDouble() : -1;
    }
    double balance(const QString& card) {
        return value(member, QStringLiteral("SELECT TBonusAmt FROM CUST WHERE CustNo = '%1'").arg(card));
    }
    int remoteLogRows() { return int(value(member, QStringLiteral("SELECT COUNT(*) FROM VCardLog"))); }
    int localLogRows() { return int(value(f.ctx.gCNT, QStringLiteral("SELECT COUNT(*) FROM VCardLog"))); }
    // Looks a card up the way the operator does on the query page.
    void query(const QString& card) {
        view.texts[tolva::ctl::txtCustNoQry] = card;
        desk.cmdQry_Click();
    }
};

// The same till started again: a new window and link on the same local
// database and settings store.
struct Restart {
    FakeDeskView view;
    tolva::LinkClient link;
    tolva::Desk desk;
    explicit Restart(DeskFixture& f)
        : link(f.ctx.g, f.ctx.reporter, f.dialogs, view, f.ctx.codePage), desk(f.ctx, view, link) {
        desk.setPause([](int) {});
        desk.Form_Load();
    }
};

// The states of the posting journal's rows, in letter order.
inline QString journalStates(MemberDesk& m) {
    QSqlQuery q = m.f.ctx.gCNT.query(QStringLiteral("SELECT State FROM PostJournal"));
    QStringList states;
    while (q.next())
        states << q.value(0).toString();
    states.sort();
    return states.join(QString());
}
