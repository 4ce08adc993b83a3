// Entry of the TOLVA executable: one copy per user, the start sequence, then
// the main window for as long as it is open.
#include "AppContext.h"
#include "PlaceholderWindow.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "WidgetDialogs.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
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

    tolva::PlaceholderWindow window;
    dialogs.setParent(&window);
    window.show();
    return app.exec();
}
