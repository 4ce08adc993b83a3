// Entry of the TOLVA executable: one copy per user, the start sequence, then
// the desk's main window for as long as it is open.
#include "app/AppContext.h"
#include "app/ProgramFolder.h"
#include "app/SettingsStore.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "common/ReadyProbe.h"
#include "desk/Desk.h"
#include "desk/HandOffChannel.h"
#include "desk/SecondStart.h"
#include "dialogs/TillLook.h"
#include "dialogs/WidgetDialogs.h"
#include "link/LinkClient.h"
#include "printui/WidgetPrinting.h"
#include "ui/FontWarmUp.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

#include <QApplication>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

int main(int argc, char* argv[]) {
    tolva::FontWarmUp fonts;
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLVA_VERSION));
    tolva::applyTillLook(app);
    const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    // Another copy of this user's desk running: it takes the hand-off, if
    // one is waiting, and this start ends once it is done with it.
    tolva::SingleInstance instance(exeName);
    if (!instance.acquire()) {
        tolva::SettingsStore store;
        tolva::SecondStart second(instance, store);
        switch (second.run()) {
        case tolva::SecondStart::Result::RunDesk:
            break;
        case tolva::SecondStart::Result::Ended:
            return 0;
        case tolva::SecondStart::Result::Failed:
            std::fprintf(stderr, "%s: %s\n", qPrintable(exeName), qPrintable(second.failure()));
            return 1;
        }
    }

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

    // Hand-offs of later starts. A desk inside a dialog or a link wait runs
    // a nested event loop and is not at rest.
    tolva::HandOffServer handOffs([&](const tolva::HandOffValues& values) {
        if (QThread::currentThread()->loopLevel() > 1)
            return tolva::HandOffReply::Busy;
        const tolva::HandOffReply reply = desk.offerHandOff(values);
        if (reply != tolva::HandOffReply::Busy)
            QMetaObject::invokeMethod(
                &window, [&desk] { desk.openOfferedHandOff(); }, Qt::QueuedConnection);
        return reply;
    });
    if (!handOffs.listen(instance.channelName()))
        ctx.reporter.WriteLog(QStringLiteral("無法接收其他啟動交付的交易: ") + handOffs.errorString());
    if (qEnvironmentVariable("TOLVA_STARTUP_PROBE") == QLatin1String("1"))
        tolva::reportReadyAndQuit();
    return app.exec();
}
