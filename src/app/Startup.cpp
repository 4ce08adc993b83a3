#include "app/Startup.h"

#include "app/AppContext.h"
#include "app/Connection.h"
#include "app/GlobalSettings.h"
#include "app/StationParams.h"
#include "common/Guard.h"
#include "data/Messages.h"

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
