// Renders the report preview offscreen to a PNG file, with the summary report
// of a database (the demo's store database): preview-screenshot OUTPUT.png DB
#include "app/AppContext.h"
#include "desk/SummaryReport.h"
#include "dialogs/WidgetDialogs.h"
#include "printui/PreviewWindow.h"
#include "printui/WidgetPrinting.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 12));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        fprintf(stderr, "usage: preview-screenshot OUTPUT.png DATABASE\n");
        return 2;
    }
    QTemporaryDir dir;
    tolva::SystemClock clock;
    tolva::WidgetDialogs dialogs;
    tolva::AppContext ctx(dialogs, clock, tolva::CodePage(), dir.path());
    ctx.gCNT.open(QStringLiteral("Provider=SQLite;Data Source=") + args[2]);
    const QString today = clock.today().toString(QStringLiteral("yyyy/MM/dd"));

    tolva::WidgetPrinting printing(ctx);
    tolva::PreviewWindow& window = printing.frmVSPBlank();
    window.loadReport(tolva::SummaryReport(ctx, printing).build(QStringLiteral("PDF"), today, today, false));
    window.resize(1000, 760);
    window.show();
    QCoreApplication::processEvents();
    const QPixmap shot = window.grab();
    QDir().mkpath(QFileInfo(args[1]).path());
    if (!shot.save(args[1])) {
        fprintf(stderr, "preview-screenshot: could not write %s\n", qPrintable(args[1]));
        return 1;
    }
    return 0;
}
