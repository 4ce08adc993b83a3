#include "Startup.h"

#include "AppContext.h"
#include "Connection.h"
#include "GlobalSettings.h"
#include "Guard.h"
#include "Messages.h"
#include "StationParams.h"

#include <QDir>

namespace tolva {

void sub_Main(AppContext& ctx) {
    guardVoid(ctx.reporter, Report::Msg, QStringLiteral("sub_Main"), [&] {
        QDir::setCurrent(ctx.g.appDir);
        InitGlobal(ctx, ctx.g.exeName + QStringLiteral(".INI"), ctx.g.appDir);
        if (InitINIgCNT(ctx))
            prepareMessages(ctx);
        InitZEL(ctx);
        ctx.g.gOPDate = ctx.clock.today().toString(QStringLiteral("yyyy/MM/dd"));
    });
}

} // namespace tolva
