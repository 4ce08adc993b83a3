// Entry of tolva-print: prints one receipt for a point-of-sale program with
// the desk's INI, database, settings store and log. Exit status 0 when the
// receipt was produced; otherwise 1 (2 for wrong arguments) and one line on
// standard error saying why.
#include "app/AppContext.h"
#include "app/Startup.h"
#include "print-cli/ConsoleDialogs.h"
#include "print-cli/PrintCommand.h"
#include "printui/WidgetPrinting.h"
#include "receipt/ReceiptLayouts.h"

#include <QApplication>
#include <cstdio>

namespace {

int fail(const QString& reason, int code) {
    std::fprintf(stderr, "tolva-print: %s\n", reason.toUtf8().constData());
    return code;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString error;
    const auto cmd = tolva::PrintCommand::parse(args, error);
    if (!cmd)
        return fail(error, 2);

    // Printing needs no screen; only the preview does.
    if (!cmd->preview && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The print system is reached through the widget build's printing.
    QApplication app(argc, argv);

    tolva::SystemClock clock;
    tolva::ConsoleDialogs dialogs;
    tolva::AppContext ctx(dialogs, clock);
    // The desk's own INI and log: TOLVA.INI beside the program.
    ctx.g.appDir = QCoreApplication::applicationDirPath();
    ctx.g.exeName = QStringLiteral("TOLVA");
    tolva::sub_Main(ctx);
    if (!ctx.gCNT.isOpen())
        return fail(
            dialogs.lastMessage().isEmpty() ? QStringLiteral("無法連接資料庫") : dialogs.lastMessage(), 1);

    tolva::WidgetPrinting printing(ctx);
    tolva::ReceiptLayouts receipts(ctx, printing);
    if (!cmd->run(ctx, receipts))
        return fail(dialogs.lastMessage().isEmpty() ? QStringLiteral("列印失敗") : dialogs.lastMessage(), 1);
    return 0;
}
