// Renders the desk's main window offscreen to a PNG file, with a demo card
// loaded, for the README: desk-screenshot OUTPUT.png [WIDTHxHEIGHT]
#include "app/AppContext.h"
#include "desk/Controls.h"
#include "desk/Desk.h"
#include "dialogs/WidgetDialogs.h"
#include "link/LinkClient.h"
#include "ui/MainWindow.h"

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
    tolva::LinkClient link(ctx.g, ctx.reporter, dialogs, window, ctx.codePage);
    tolva::Desk desk(ctx, window, link);
    desk.setPause([](int) {});
    window.setDesk(&desk);
    window.resize(size);
    desk.Form_Load();

    using namespace tolva::ctl;
    window.setText(txtCustNo, QStringLiteral("M0001"));
    window.setText(txtCustName, QStringLiteral("王小明"));
    window.setText(txtTBonusAmt, QStringLiteral("12,800"));
    window.setText(txtTEL1, QStringLiteral("02-2345-6789"));
    window.setText(txtZIP, QStringLiteral("104"));
    window.setText(txtBillAddr1, QStringLiteral("台北市中山區"));
    window.setText(txtBillAddr2, QStringLiteral("南京東路二段 100 號"));
    window.setText(txtFmComID, QStringLiteral("S01"));
    window.setVisible(cmdUPDCust, true);
    window.selectTab(kDeduction);
    window.setText(txtCheckNo(1), QStringLiteral("A0012"));
    window.setText(txtAmt(1), QStringLiteral("500"));
    window.setText(elaMsg, QStringLiteral("連線成功"));
    window.setText(lblMode, QStringLiteral("Connected.  "));
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
