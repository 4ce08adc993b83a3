#include "app/Connection.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "common/Guard.h"
#include "common/PasswordMask.h"
#include "db/ConnectionString.h"
#include "db/Dialect.h"

namespace tolva {

namespace {
// Pre-fills the password box; any four characters will do.
const QString kPasswordPlaceholder = QStringLiteral("****");

// A SQL Server connection string that carries no password of its own.
bool needsPassword(const QString& connStr) {
    const Dialect dialect = Dialect::forProvider(ConnectionString(connStr).provider());
    return dialect.product() == Dialect::Product::SqlServer &&
           !connStr.contains(QLatin1String("Password="), Qt::CaseInsensitive);
}
} // namespace

bool ConnectADO(const QString& connectionString, Database& connection, Reporter& reporter) {
    return guard(reporter, Report::Log, QStringLiteral("ConnectADO"), false, [&] {
        connection.open(connectionString);
        return true;
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
        result = ConnectADO(g.gConnStr, ctx.gCNT, ctx.reporter);
    });
    return result;
}

} // namespace tolva
