// Entry of the TOLVA executable: one copy per user, the start sequence, then
// the desk's main window for as long as it is open.
#include "app/AppContext.h"
#include "app/ProgramFolder.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "common/ReadyProbe.h"
#include "desk/Desk.h"
#include "dialogs/TillLook.h"
#include "dialogs/WidgetDialogs.h"
#include "link/LinkClient.h"
#include "printui/WidgetPrinting.h"
#include "ui/FontWarmUp.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char* argv[]) {
    tolva::FontWarmUp fonts;
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLVA_VERSION));
    tolva::applyTillLook(app);
    const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    tolva::SingleInstance instance(exeName);
    if (!instance.acquire())
        return 0;

    tolva::SystemClock clock;
    tolva::WidgetDialogs dialogs;
    tolva::AppContext ctx(dialogs, clock);
    dialogs.setContext(&ctx.g, &ctx.reporter);
    dialogs.setClock(&clock);
    ctx.g.appDir = tolva::programFolder();
    ctx.g.exeName = exeName;

    tolva::sub_Main(ctx);

    fonts.wait();
    tolva::MainWindow window;
    tolva::MainWindowView view(window);
    dialogs.setParent(&window);
    tolva::LinkClient link(ctx.g, ctx.reporter, dialogs, view, ctx.codePage);
    tolva::WidgetPrinting printing(ctx);
    tolva::Desk desk(ctx, view, link, &printing);
    window.setDesk(&desk);
    desk.Form_Load();
    if (qEnvironmentVariable("TOLVA_STARTUP_PROBE") == QLatin1String("1"))
        tolva::reportReadyAndQuit();
    return app.exec();
}
