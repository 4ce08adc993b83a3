// The code picker, driven by touches and keys while its modal showing runs,
// and the scripted fake the desk tests use in its place.
#include "dialogs/CodePicker.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/WidgetDialogs.h"
#include "support/FakeDialogs.h"

#include <QTableWidget>

using namespace tolva;

namespace {

const QString kName = QStringLiteral("frmCode");

QStringList row(const char* code, const char* description) {
    return {QString::fromUtf8(code), QString::fromUtf8(description)};
}

QTableWidget* grid(QWidget* w) {
    return w->findChild<QTableWidget*>(QStringLiteral("fgCode"));
}

QStringList column(QTableWidget* g, int c) {
    QStringList out;
    for (int r = 0; r < g->rowCount(); ++r)
        out << (g->item(r, c) ? g->item(r, c)->text() : QString());
    return out;
}

} // namespace

class TestCodePicker : public QObject {
    Q_OBJECT

    const QList<QStringList> m_stores = {row("S01", "台北店"), row("S02", "台中店"), row("S03", "高雄店")};

private slots:
    void noRowsShowsNothing() {
        WidgetDialogs dialogs;
        QString code = QStringLiteral("S09");
        bool seen = false;
        whenShown(
            kName, [](QWidget*) {}, &seen);
        QVERIFY(!dialogs.ShowPick({}, code));
        QVERIFY(!seen);
        QCOMPARE(code, QStringLiteral("S09"));
        QCoreApplication::processEvents(); // let the unused script run out
    }

    void enterOrSpaceOrATouchCopiesTheRow_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("description");
        QTest::newRow("Enter on the first row")
            << QStringLiteral("enter") << QStringLiteral("S01") << QStringLiteral("台北店");
        QTest::newRow("Down, Enter") << QStringLiteral("down-enter") << QStringLiteral("S02")
                                     << QStringLiteral("台中店");
        QTest::newRow("Down, Down, Space")
            << QStringLiteral("down-down-space") << QStringLiteral("S03") << QStringLiteral("高雄店");
        QTest::newRow("touch on the second row")
            << QStringLiteral("touch") << QStringLiteral("S02") << QStringLiteral("台中店");
    }
    void enterOrSpaceOrATouchCopiesTheRow() {
        QFETCH(QString, how);
        WidgetDialogs dialogs;
        QString code = QStringLiteral("old");
        QString description;
        QStringList headers;
        whenShown(kName, [&](QWidget* w) {
            QTableWidget* g = grid(w);
            for (int c = 0; c < 2; ++c)
                headers << g->horizontalHeaderItem(c)->text();
            if (how == QLatin1String("touch")) {
                const QRect cell = g->visualRect(g->model()->index(1, 1));
                QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
                return;
            }
            for (const QString& k : how.split(QLatin1Char('-'))) {
                const Qt::Key key = k == QLatin1String("down")    ? Qt::Key_Down
                                    : k == QLatin1String("space") ? Qt::Key_Space
                                                                  : Qt::Key_Return;
                QTest::keyClick(g, key);
            }
        });
        QVERIFY(dialogs.ShowPick(m_stores, code, &description));
        QTEST(code, "code");
        QTEST(description, "description");
        QCOMPARE(dialogs.frmCode().fvCode, code);
        QCOMPARE(headers, QStringList({QStringLiteral("代碼"), QStringLiteral("說明")}));
        QVERIFY(!dialogs.frmCode().isVisible());
    }

    void escapeLeavesTheTarget() {
        WidgetDialogs dialogs;
        QString code = QStringLiteral("S02");
        QString description = QStringLiteral("keep");
        bool seen = false;
        whenShown(
            kName, [](QWidget* w) { QTest::keyClick(grid(w), Qt::Key_Escape); }, &seen);
        QVERIFY(dialogs.ShowPick(m_stores, code, &description));
        QVERIFY(seen);
        QCOMPARE(code, QStringLiteral("S02"));
        QCOMPARE(description, QStringLiteral("keep"));
        QVERIFY(dialogs.frmCode().fvCode.isEmpty());

        // "離開", for a till without a keyboard, leaves the same way.
        whenShown(kName, [](QWidget* w) {
            QVERIFY(w->findChild<QPushButton*>(QStringLiteral("cmdExit"))->height() >= 48);
            QVERIFY(touch(w, QStringLiteral("cmdExit")));
        });
        QVERIFY(dialogs.ShowPick(m_stores, code, &description));
        QCOMPARE(code, QStringLiteral("S02"));
    }

    void aSecondCallShowsOnlyItsOwnRows() {
        WidgetDialogs dialogs;
        QString code;
        QStringList first;
        QStringList second;
        QStringList headers;
        whenShown(kName, [&](QWidget* w) { first = column(grid(w), 0); });
        QVERIFY(dialogs.ShowPick(m_stores, code, nullptr, QStringLiteral("店號"), QStringLiteral("店名")));
        // One code without a description (a null column reads as empty).
        whenShown(kName, [&](QWidget* w) {
            second = column(grid(w), 0) + column(grid(w), 1);
            headers << grid(w)->horizontalHeaderItem(0)->text() << grid(w)->horizontalHeaderItem(1)->text();
        });
        QVERIFY(dialogs.ShowPick({QStringList{QStringLiteral("T01"), QString()}}, code));
        QCOMPARE(first, QStringList({QStringLiteral("S01"), QStringLiteral("S02"), QStringLiteral("S03")}));
        QCOMPARE(second, QStringList({QStringLiteral("T01"), QString()}));
        // Labels serve the showing they came with.
        QCOMPARE(headers, QStringList({QStringLiteral("代碼"), QStringLiteral("說明")}));
        QCOMPARE(&dialogs.frmCode(), &dialogs.frmCode());
    }

    void rowsWithOnlyACodeOrMoreColumns() {
        CodePicker picker(nullptr);
        QString code;
        QString description = QStringLiteral("x");
        whenShown(kName, [](QWidget* w) { QTest::keyClick(grid(w), Qt::Key_Return); });
        QVERIFY(picker.ShowPick({QStringList{QStringLiteral("S01")}}, code, &description));
        QCOMPARE(code, QStringLiteral("S01"));
        QCOMPARE(description, QString());

        whenShown(kName, [](QWidget* w) { QTest::keyClick(grid(w), Qt::Key_Return); });
        QVERIFY(picker.ShowPick(
            {QStringList{QStringLiteral("S05"), QStringLiteral("板橋"), QStringLiteral("extra")}}, code,
            &description));
        QCOMPARE(code, QStringLiteral("S05"));
        QCOMPARE(description, QStringLiteral("板橋"));
        QVERIFY(picker.fgCode()->isColumnHidden(2));
    }

    void theFakeAnswersAsScripted() {
        FakeDialogs fake;
        QString code = QStringLiteral("old");
        QVERIFY(!fake.ShowPick({}, code));
        QVERIFY(fake.picksShown.isEmpty());
        fake.pickAnswers << 1 << std::nullopt;
        QVERIFY(fake.ShowPick(m_stores, code));
        QCOMPARE(code, QStringLiteral("S02"));
        QVERIFY(fake.ShowPick(m_stores, code)); // Escape
        QCOMPARE(code, QStringLiteral("S02"));
        QCOMPARE(fake.picksShown.size(), 2);
        QCOMPARE(fake.pickAt(0).rows, m_stores);

        QDate date(2026, 1, 1);
        fake.dateAnswers << QDate(2026, 3, 7) << std::nullopt;
        QVERIFY(fake.PickDate(date));
        QCOMPARE(date, QDate(2026, 3, 7));
        QVERIFY(!fake.PickDate(date));
        QCOMPARE(date, QDate(2026, 3, 7));
        QCOMPARE(fake.datePickCalls.size(), 2);
    }
};

QTEST_MAIN(TestCodePicker)
#include "tst_codepicker.moc"
