// Entry of the TOLVA executable: one copy per user, the start sequence, then
// the desk's main window for as long as it is open.
#include "AppContext.h"
#include "Desk.h"
#include "LinkClient.h"
#include "MainWindow.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "WidgetDialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QTimer>

#include <cstdio>

namespace tolva {
// For the start-up benchmark: once the event loop is idle with the window
// shown, print "ready" and the peak memory, then end.
void reportReadyAndQuit() {
    QTimer::singleShot(0, [] {
        QFile status(QStringLiteral("/proc/self/status"));
        QByteArray peak;
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peak = line.mid(6).trimmed();
        std::printf("ready %s\n", peak.constData());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
}
} // namespace tolva

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLVA_VERSION));
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 14));
    const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    tolva::SingleInstance instance(exeName);
    if (!instance.acquire())
        return 0;

    tolva::SystemClock clock;
    tolva::WidgetDialogs dialogs;
    tolva::AppContext ctx(dialogs, clock);
    dialogs.setContext(&ctx.g, &ctx.reporter);
    ctx.g.appDir = QCoreApplication::applicationDirPath();
    ctx.g.exeName = exeName;

    tolva::sub_Main(ctx);

    tolva::MainWindow window;
    dialogs.setParent(&window);
    tolva::LinkClient link(ctx.g, ctx.reporter, dialogs, window, ctx.codePage);
    tolva::Desk desk(ctx, window, link);
    window.setDesk(&desk);
    desk.Form_Load();
    if (qEnvironmentVariable("TOLVA_STARTUP_PROBE") == QLatin1String("1"))
        tolva::reportReadyAndQuit();
    return app.exec();
}
