// Renders the desk's main window offscreen to a PNG file, with a demo card
// loaded, for the README:
//   desk-screenshot OUTPUT.png [WIDTHxHEIGHT]
//       [desk|settings|calendar|picker|deposit|result|refusal|linkdown|names|query|report]
// The offscreen screen is made the given size, so the window opens as it
// would on a till of that size; the calendar and the code picker are drawn
// where they stand over the window, with a plain title bar. "desk" shows the
// deduction page; deposit (a handed-over 5,000 with its bonus), query and
// report show those pages; result shows a posting's result over the window,
// refusal a deduction the balance cannot cover, linkdown the banner of a link
// that is down and names the picker of a name search that found several
// cards.
#include "app/AppContext.h"
#include "desk/Controls.h"
#include "desk/DepositLines.h"
#include "desk/Desk.h"
#include "dialogs/TillLook.h"
#include "dialogs/WidgetDialogs.h"
#include "link/LinkClient.h"
#include "tools/OffscreenScreen.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowView.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

// The window with a dialog drawn over it where it stands, under a title bar.
QPixmap withDialog(QWidget& window, QWidget& dialog) {
    QPixmap shot = window.grab();
    const QPixmap inner = dialog.grab();
    constexpr int kTitle = 34;
    const QPoint at = dialog.geometry().topLeft() - window.geometry().topLeft();
    QPainter p(&shot);
    p.fillRect(QRect(at.x() + 6, at.y() - kTitle + 6, inner.width(), inner.height() + kTitle),
               QColor(0, 0, 0, 70));
    const QRect bar(at.x(), at.y() - kTitle, inner.width(), kTitle);
    p.fillRect(bar, QColor(0x3c, 0x3c, 0x46));
    p.setPen(Qt::white);
    QFont font = QApplication::font();
    font.setPixelSize(18);
    p.setFont(font);
    p.drawText(bar.adjusted(12, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, dialog.windowTitle());
    p.drawPixmap(at, inner);
    p.setPen(QColor(0x3c, 0x3c, 0x46));
    p.drawRect(QRect(bar.topLeft(), QSize(inner.width(), inner.height() + kTitle)).adjusted(0, 0, -1, -1));
    return shot;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: desk-screenshot OUTPUT.png [WIDTHxHEIGHT] "
                             "[desk|settings|calendar|picker|deposit|result|refusal|linkdown|names|query|"
                             "report]\n");
        return 2;
    }
    QSize size(1024, 768);
    if (argc > 2) {
        const QList<QByteArray> wh = QByteArray(argv[2]).split('x');
        if (wh.size() == 2)
            size = QSize(wh[0].toInt(), wh[1].toInt());
    }
    const QString scene = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("desk");
    QTemporaryDir dir;
    useOffscreenScreen(dir.path(), size);

    QApplication app(argc, argv);
    tolva::applyTillLook(app);
    const QString output = QString::fromLocal8Bit(argv[1]);

    tolva::SystemClock clock;
    tolva::WidgetDialogs dialogs;
    tolva::AppContext ctx(dialogs, clock, tolva::CodePage(), dir.path());
    dialogs.setContext(&ctx.g, &ctx.reporter);
    dialogs.setClock(&clock);
    ctx.g.appDir = dir.path();
    ctx.g.gUserID = QStringLiteral("cashier1");
    ctx.g.gOPDate = clock.today().toString(QStringLiteral("yyyy/MM/dd"));
    ctx.gCNT.open(QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("shot.db")));

    tolva::MainWindow window;
    tolva::MainWindowView view(window);
    dialogs.setParent(&window);
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
    view.setText(elaMsg, QStringLiteral("連線成功"));
    view.setText(lblMode, QStringLiteral("Connected.  "));
    view.setText(txtCheckNo(1), QStringLiteral("A0012"));
    view.setText(txtAmt(1), QStringLiteral("500"));
    view.selectTab(kDeduction);
    // The picture has no service behind it; only the linkdown scene shows
    // the banner the start put up for that.
    view.setVisible(lblLinkDown, scene == QLatin1String("linkdown"));
    if (scene == QLatin1String("linkdown")) {
        view.setText(lblMode, QString());
        view.setText(elaMsg, QStringLiteral("無法與會員資料庫連線!!"));
        view.setText(txtRemark(1), QStringLiteral("T20261208"));
    }
    if (scene == QLatin1String("settings")) {
        view.showTab(kSettings, true);
        view.selectTab(kSettings);
        view.setText(txtIP, QStringLiteral("192.168.1.20"));
        view.setText(txtPWD, QStringLiteral("secret"));
        view.setText(txtTxnDept(2), QStringLiteral("S05"));
    } else if (scene == QLatin1String("calendar")) {
        view.selectTab(kReport);
    } else if (scene == QLatin1String("picker")) {
        view.selectTab(kDeposit);
    } else if (scene == QLatin1String("deposit")) {
        view.selectTab(kDeposit);
        view.setText(txtCheckNo(0), QStringLiteral("A0012"));
        view.setText(txtAmt(0), QStringLiteral("5250"));
        tolva::showDepositLines(view, tolva::depositSplit(5000));
    } else if (scene == QLatin1String("refusal")) {
        view.setText(txtAmt(1), QStringLiteral("15000"));
    } else if (scene == QLatin1String("names")) {
        // A name search empties the panel until a card is picked.
        for (const QString& field :
             {txtCustNo, txtCustName, txtTBonusAmt, txtTEL1, txtZIP, txtBillAddr1, txtBillAddr2, txtFmComID})
            view.setText(field, QString());
        view.setVisible(cmdUPDCust, false);
        view.selectTab(kQuery);
        view.setText(txtCustNameQry, QStringLiteral("王"));
    } else if (scene == QLatin1String("query")) {
        view.selectTab(kQuery);
    } else if (scene == QLatin1String("report")) {
        view.selectTab(kReport);
    }
    QCoreApplication::processEvents();

    QPixmap shot;
    if (scene == QLatin1String("calendar") || scene == QLatin1String("picker") ||
        scene == QLatin1String("offline") || scene == QLatin1String("result") ||
        scene == QLatin1String("refusal") || scene == QLatin1String("names")) {
        QWidget* dialog = nullptr;
        QTimer::singleShot(0, &app, [&] {
            dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            QCoreApplication::processEvents();
            shot = withDialog(window, *dialog);
            dialog->close();
        });
        if (scene == QLatin1String("result")) {
            // The deduction page behind it: 500 off a balance of 12,800.
            dialogs.ShowResult(QStringLiteral("已扣點 500 ／ 餘額 12,300"), 2000);
        } else if (scene == QLatin1String("refusal")) {
            // 15,000 asked of a card holding 12,800.
            dialogs.ShowRefusal(QStringLiteral("餘額不足: 餘額 12,800，需 15,000"));
        } else if (scene == QLatin1String("names")) {
            QString card;
            dialogs.ShowPick({{QStringLiteral("M0001"), QStringLiteral("王小明　02-2345-6789")},
                              {QStringLiteral("M0012"), QStringLiteral("王小明　0912-345-678")},
                              {QStringLiteral("M0027"), QStringLiteral("王美華　04-2233-4455")}},
                             card, nullptr, QStringLiteral("卡號"), QStringLiteral("姓名　電話"));
        } else if (scene == QLatin1String("offline")) {
            dialogs.ShowMsg(QStringLiteral("已離線記錄，授權碼 T20261208，連線恢復後自動入帳"));
        } else if (scene == QLatin1String("calendar")) {
            QDate picked;
            dialogs.PickDate(picked, QVariant(QStringLiteral("2026/08/18")));
        } else {
            QString code;
            dialogs.ShowPick({{QStringLiteral("S01"), QStringLiteral("台北南京店")},
                              {QStringLiteral("S02"), QStringLiteral("台中公益店")},
                              {QStringLiteral("S03"), QStringLiteral("高雄中正店")},
                              {QStringLiteral("S05"), QString()}},
                             code);
        }
    } else {
        shot = window.grab();
    }
    if (shot.isNull()) {
        std::fprintf(stderr, "desk-screenshot: nothing to draw for %s\n", qPrintable(scene));
        return 1;
    }
    QDir().mkpath(QFileInfo(output).path());
    if (!shot.save(output)) {
        std::fprintf(stderr, "desk-screenshot: could not write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
