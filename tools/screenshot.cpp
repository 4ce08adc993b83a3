// Renders the desk's main window offscreen to a PNG file, with a demo card
// loaded, for the README: desk-screenshot OUTPUT.png [WIDTHxHEIGHT]
#include "app/AppContext.h"
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "dialogs/WidgetDialogs.h"
#include "link/LinkClient.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 14));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        fprintf(stderr, "usage: desk-screenshot OUTPUT.png [WIDTHxHEIGHT]\n");
        return 2;
    }
    QSize size(1024, 768);
    if (args.size() > 2) {
        const QStringList wh = args[2].split(QLatin1Char('x'));
        if (wh.size() == 2)
            size = QSize(wh[0].toInt(), wh[1].toInt());
    }

    QTemporaryDir dir;
    tolva::SystemClock clock;
    tolva::WidgetDialogs dialogs;
    tolva::AppContext ctx(dialogs, clock, tolva::CodePage(), dir.path());
    ctx.g.appDir = dir.path();
    ctx.g.gUserID = QStringLiteral("cashier1");
    ctx.g.gOPDate = clock.today().toString(QStringLiteral("yyyy/MM/dd"));
    ctx.gCNT.open(QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("shot.db")));
    ctx.g.gServerDate = ctx.gCNT.dialect().serverDate;

    tolva::MainWindow window;
    tolva::MainWindowView view(window);
    tolva::LinkClient link(ctx.g, ctx.reporter, dialogs, view, ctx.codePage);
    tolva::Desk desk(ctx, view, link);
    desk.setPause([](int) {});
    window.setDesk(&desk);
    window.resize(size);
    desk.Form_Load();

    using namespace tolva::ctl;
    view.setText(txtCustNo, QStringLiteral("M0001"));
    view.setText(txtCustName, QStringLiteral("王小明"));
    view.setText(txtTBonusAmt, QStringLiteral("12,800"));
    view.setText(txtTEL1, QStringLiteral("02-2345-6789"));
    view.setText(txtZIP, QStringLiteral("104"));
    view.setText(txtBillAddr1, QStringLiteral("台北市中山區"));
    view.setText(txtBillAddr2, QStringLiteral("南京東路二段 100 號"));
    view.setText(txtFmComID, QStringLiteral("S01"));
    view.setVisible(cmdUPDCust, true);
    view.selectTab(kDeduction);
    view.setText(txtCheckNo(1), QStringLiteral("A0012"));
    view.setText(txtAmt(1), QStringLiteral("500"));
    view.setText(elaMsg, QStringLiteral("連線成功"));
    view.setText(lblMode, QStringLiteral("Connected.  "));
    window.resize(size);
    QCoreApplication::processEvents();

    const QPixmap shot = window.grab();
    QDir().mkpath(QFileInfo(args[1]).path());
    if (!shot.save(args[1])) {
        fprintf(stderr, "desk-screenshot: could not write %s\n", qPrintable(args[1]));
        return 1;
    }
    return 0;
}
