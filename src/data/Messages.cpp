#include "data/Messages.h"

#include "common/Guard.h"
#include "data/DataContext.h"

#include <QSqlQuery>

namespace tolva {

namespace {

QString lookup(DataContext& ctx, const QString& procedure, const QString& msgID,
               const std::optional<QString>& p1, const std::optional<QString>& p2,
               const std::optional<QString>& p3) {
    return guard(ctx.reporter, Report::Log, procedure, QString(), [&] {
        QSqlQuery& rs = ctx.gCNT.runPrepared(QString::fromLatin1(kMessageQuery), {msgID});
        if (!rs.next()) {
            rs.finish();
            return msgID;
        }
        QString text = rs.value(QStringLiteral("MsgText")).toString();
        rs.finish();
        if (p1) {
            text.replace(QStringLiteral("%%1"), *p1);
            if (p2) {
                text.replace(QStringLiteral("%%2"), *p2);
                if (p3)
                    text.replace(QStringLiteral("%%3"), *p3);
            }
        }
        return text;
    });
}

} // namespace

void prepareMessages(DataContext& ctx) {
    guardVoid(ctx.reporter, Report::Log, QStringLiteral("prepareMessages"),
              [&] { ctx.gCNT.prepared(QString::fromLatin1(kMessageQuery)); });
}

QString LocalMsg(DataContext& ctx, const QString& msgID, const std::optional<QString>& p1,
                 const std::optional<QString>& p2, const std::optional<QString>& p3) {
    return lookup(ctx, QStringLiteral("LocalMsg"), msgID, p1, p2, p3);
}

QString IDMSG(DataContext& ctx, const QString& msgID, const std::optional<QString>& p1,
              const std::optional<QString>& p2, const std::optional<QString>& p3) {
    return lookup(ctx, QStringLiteral("IDMSG"), msgID, p1, p2, p3);
}

} // namespace tolva
