#include "app/GlobalSettings.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "common/Guard.h"

#include <QDir>
#include <pwd.h>
#include <unistd.h>

namespace tolva {

QString GetLoginUser() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

void InitGlobal(AppContext& ctx, const std::optional<QString>& iniName,
                const std::optional<QString>& iniFolder) {
    guardVoid(ctx.reporter, Report::Msg, QStringLiteral("InitGlobal"), [&] {
        Globals& g = ctx.g;
        QDir::setCurrent(g.appDir);

        const QString& d = g.appDir;
        const QString& n = g.exeName;
        const QString defaultIni = QStringLiteral("IDPARAM.INI");
        if (iniFolder) {
            g.gIniFile = *iniFolder + QLatin1Char('/') + iniName.value_or(defaultIni);
            g.gLogFile = *iniFolder + QLatin1Char('/') + n + QStringLiteral(".LOG");
            g.gErrFile = *iniFolder + QLatin1Char('/') + n + QStringLiteral(".ERR");
        } else {
            g.gIniFile = d + QStringLiteral("/../DAT/") + iniName.value_or(defaultIni);
            g.gLogFile = d + QStringLiteral("/../LOG/") + n + QStringLiteral(".LOG");
            g.gErrFile = d + QStringLiteral("/../LOG/") + n + QStringLiteral(".ERR");
        }

        ctx.reporter.TrimLogFile(100);
        ctx.reporter.TrimErrFile(100);

        const auto ini = [&](const char* key) {
            return getINIValue(ctx.codePage, g.gIniFile, QStringLiteral("PARAM"), QString::fromLatin1(key));
        };
        g.gCustName = ini("CustName");
        g.gCalendar = ini("Calendar");
        if (g.gCalendar.isEmpty())
            g.gCalendar = QStringLiteral("YYYY/MM/DD");
        g.gDateSep = ini("DateSep");
        if (g.gDateSep.isEmpty())
            g.gDateSep = QStringLiteral("/");
        g.gLogoFile = ini("LogoFile");
        g.gUserID = ini("DefUserID");
        if (g.gUserID.isEmpty())
            g.gUserID = GetLoginUser().left(20);
        g.gAmtFmt = ini("AmtFmt");
        if (g.gAmtFmt.isEmpty())
            g.gAmtFmt = QStringLiteral("#,##0");
    });
}

} // namespace tolva
