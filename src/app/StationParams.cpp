#include "app/StationParams.h"

#include "app/AppContext.h"
#include "common/Formatting.h"
#include "common/Guard.h"
#include "common/Utilities.h"
#include "data/Params.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace tolva {

QString portDevice(const QString& portName) {
    const QString upper = portName.toUpper();
    bool ok = false;
    const int n = upper.mid(3).toInt(&ok);
    if (!ok || n < 1 || n > 9 || upper.size() != 4)
        return QString();
    if (upper.startsWith(QLatin1String("COM")))
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (upper.startsWith(QLatin1String("LPT")))
        return QStringLiteral("/dev/lp%1").arg(n - 1);
    return QString();
}

bool CheckPort(const QString& portName) {
    const QString upper = portName.toUpper();
    if (!upper.startsWith(QLatin1String("LPT")) && !upper.startsWith(QLatin1String("COM")))
        return false;
    const QString device = portDevice(upper);
    if (device.isEmpty())
        return false;
    // Raw open without becoming the controlling terminal and without waiting
    // for carrier.
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool ResetComPort(AppContext& ctx, const QString& portName) {
    static const QStringList allowed = {QStringLiteral("COM1"), QStringLiteral("COM2"),
                                        QStringLiteral("COM3"), QStringLiteral("COM4"),
                                        QStringLiteral("COM5")};
    if (!allowed.contains(portName)) {
        ctx.dialogs.messageBox(QStringLiteral("(ResetComPort)只能重設COM1-COM5通訊埠"),
                               Dialogs::Icon::Warning, ctx.g.title());
        return false;
    }
    const int rc = ShellWait(QStringLiteral("stty"),
                             {QStringLiteral("-F"), portDevice(portName), QStringLiteral("9600"),
                              QStringLiteral("cs8"), QStringLiteral("-parenb"), QStringLiteral("-cstopb")});
    if (rc != 0) {
        ctx.reporter.WriteLog(QStringLiteral("(ResetComPort)重設COM通訊埠失敗"));
        return false;
    }
    return true;
}

namespace {
// A whole-number station setting from 0 to max; empty gives the default
// quietly, anything else that does not fit gives it with a line in the log.
int wholeSetting(AppContext& ctx, const QString& key, int fallback, int max, const QString& unit) {
    const QString trimmed = ctx.settings.Get(QStringLiteral("ZEL"), QStringLiteral("SYS"), key).trimmed();
    if (trimmed.isEmpty())
        return fallback;
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (ok && value >= 0 && value <= max)
        return value;
    ctx.reporter.WriteLog(key + QStringLiteral(" 設定錯誤: ") + trimmed + QStringLiteral("，改用 ") +
                          QString::number(fallback) + QStringLiteral(" ") + unit);
    return fallback;
}
} // namespace

void InitZEL(AppContext& ctx) {
    guardVoid(ctx.reporter, Report::Msg, QStringLiteral("fdZEL_InitZEL"), [&] {
        Globals& g = ctx.g;
        ctx.gCNT.query(QStringLiteral("Select *  from xxPARAM WHERE ParamID = '.HelpDesk0800'"));

        // The customer display's port.
        const QString zel = QStringLiteral("ZEL");
        QString type = ctx.settings.Get(zel, QStringLiteral("CD"), QStringLiteral("CDtype")).trimmed();
        QString port = ctx.settings.Get(zel, QStringLiteral("CD"), QStringLiteral("CDport")).trimmed();
        if (type == QLatin1String("SCREEN"))
            port = QStringLiteral("SCREEN");
        if (port.isEmpty())
            type.clear();
        if (type.isEmpty())
            port.clear();
        if (port.left(3) == QLatin1String("COM")) {
            if (CheckPort(port))
                ResetComPort(ctx, port);
            else
                ctx.reporter.WriteLog(QStringLiteral("CD連接埠:") + port + QStringLiteral("無法開啟"));
        }

        // The business date kept in the database.
        if (!getParamValue(ctx, QStringLiteral("OPDATE"), g.gOPDate))
            g.gOPDate.clear();
        if (const auto date = readAsDate(g.gOPDate)) {
            g.gOPDate = date->toString(QStringLiteral("yyyy/MM/dd"));
        } else {
            g.gOPDate = ctx.clock.today().toString(QStringLiteral("yyyy/MM/dd"));
            SetParamValue(ctx, QStringLiteral("OPDATE"), g.gOPDate);
            ctx.dialogs.messageBox(QStringLiteral("營業日期設定錯誤\n重設為: ") + g.gOPDate,
                                   Dialogs::Icon::Warning, g.title());
        }

        if (!getParamValue(ctx, QStringLiteral("StoreID"), g.gStoreID))
            g.gStoreID = g.gCustName;

        g.gPOSID = ctx.settings.Get(zel, QStringLiteral("SYS"), QStringLiteral("POSID"));
        if (g.gPOSID.isEmpty()) {
            g.gPOSID = QStringLiteral("WS01");
            ctx.settings.Save(zel, QStringLiteral("SYS"), QStringLiteral("POSID"), g.gPOSID);
        }

        g.gRetryMinutes =
            wholeSetting(ctx, QStringLiteral("HandOffRetryMinutes"), 10, 1440, QStringLiteral("分鐘"));
        g.gResultSeconds = wholeSetting(ctx, QStringLiteral("ResultSeconds"), 2, 30, QStringLiteral("秒"));

        QString logo;
        if (getParamValue(ctx, QStringLiteral("LogoFile"), logo))
            g.gLogoFile = g.appDir + QStringLiteral("/../DAT/") + logo;
    });
}

} // namespace tolva
