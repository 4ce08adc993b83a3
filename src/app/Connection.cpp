#include "app/Connection.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "common/Guard.h"
#include "common/PasswordMask.h"

namespace tolva {

namespace {
// Pre-fills the password box; any four characters will do.
const QString kPasswordPlaceholder = QStringLiteral("****");

bool needsPassword(const QString& connStr) {
    const qsizetype at = connStr.indexOf(QLatin1String("SQLOLE"), 0, Qt::CaseInsensitive);
    return at > 0 && !connStr.contains(QLatin1String("Password="), Qt::CaseInsensitive);
}
} // namespace

bool ConnectADO(const QString& connectionString, Database& connection, Reporter& reporter) {
    return guard(reporter, Report::Log, QStringLiteral("ConnectADO"), false, [&] {
        connection.open(connectionString);
        return true;
    });
}

void SetDBType(AppContext& ctx) {
    guardVoid(ctx.reporter, Report::Msg, QStringLiteral("basADODB_SetDBType"), [&] {
        const Dialect dialect = Dialect::forProvider(ctx.gCNT.providerName());
        if (!dialect.known)
            return;
        ctx.g.gServerDate = dialect.serverDate;
        ctx.g.gDateQuote = dialect.dateQuote;
    });
}

bool InitINIgCNT(AppContext& ctx) {
    bool result = false;
    guardVoid(ctx.reporter, Report::Log, QStringLiteral("basADODB_InitINIgCNT"), [&] {
        Globals& g = ctx.g;
        g.gConnStr = getINIValue(ctx.codePage, g.gIniFile, QStringLiteral("PARAM"), QStringLiteral("GCNT"));
        if (needsPassword(g.gConnStr)) {
            const auto entered = ctx.dialogs.inputBox(QStringLiteral("資料庫連線密碼"),
                                                      maskPasswords(g.gConnStr), kPasswordPlaceholder);
            g.gConnStr =
                g.gConnStr + QStringLiteral(";Password=") + entered.value_or(QString()) + QStringLiteral(";");
        }
        if (ConnectADO(g.gConnStr, ctx.gCNT, ctx.reporter)) {
            SetDBType(ctx);
            result = true;
        }
    });
    return result;
}

} // namespace tolva
