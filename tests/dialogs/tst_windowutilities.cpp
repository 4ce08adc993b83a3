// Enter and arrow keys moving between fields, and clearing
// the entry fields of a window.
#include "dialogs/WindowUtilities.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace tolva;

class TestWindowUtilities : public QObject {
    Q_OBJECT

private slots:
    void enterAndArrowsMoveTheFocus() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* first = new QLineEdit(&window);
        auto* label = new QLabel(QStringLiteral("金額"), &window);
        auto* disabled = new QLineEdit(&window);
        auto* second = new QLineEdit(&window);
        disabled->setEnabled(false);
        for (QWidget* w : {static_cast<QWidget*>(first), static_cast<QWidget*>(label),
                           static_cast<QWidget*>(disabled), static_cast<QWidget*>(second)})
            layout->addWidget(w);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first->setFocus();
        QVERIFY(first->hasFocus());

        SendTabKey(first, Qt::Key_Escape);
        QVERIFY(first->hasFocus());
        SendTabKey(first, Qt::Key_Tab);
        QVERIFY(first->hasFocus());
        // The label and the disabled field take no focus.
        SendTabKey(first, Qt::Key_Return);
        QVERIFY(second->hasFocus());
        SendTabKey(nullptr, Qt::Key_Up);
        QVERIFY(first->hasFocus());
        SendTabKey(first, Qt::Key_Down);
        QVERIFY(second->hasFocus());
        SendTabKey(second, Qt::Key_Enter);
        QVERIFY(first->hasFocus());
    }

    void clearInputsByName() {
        QWidget window;
        auto* txtAmt = new QLineEdit(QStringLiteral("500"), &window);
        txtAmt->setObjectName(QStringLiteral("txtAmt(0)"));
        auto* other = new QLineEdit(QStringLiteral("keep"), &window);
        other->setObjectName(QStringLiteral("TxtUpper"));
        auto* nested = new QWidget(&window);
        auto* txtCard = new QLineEdit(QStringLiteral("A0001"), nested);
        txtCard->setObjectName(QStringLiteral("txtCardNo"));
        auto* cboDept = new QComboBox(&window);
        cboDept->setObjectName(QStringLiteral("cboDept"));
        cboDept->addItems({QStringLiteral("S01"), QStringLiteral("S02")});
        auto* cboEdit = new QComboBox(&window);
        cboEdit->setObjectName(QStringLiteral("cboType"));
        cboEdit->setEditable(true);
        cboEdit->setEditText(QStringLiteral("手打"));
        auto* lblName = new QLineEdit(QStringLiteral("label"), &window);
        lblName->setObjectName(QStringLiteral("lblName"));

        ClearInputs(&window);
        QCOMPARE(txtAmt->text(), QString());
        QCOMPARE(txtCard->text(), QString());
        QCOMPARE(cboDept->currentText(), QString());
        QCOMPARE(cboEdit->currentText(), QString());
        QCOMPARE(other->text(), QStringLiteral("keep"));
        QCOMPARE(lblName->text(), QStringLiteral("label"));
        ClearInputs(nullptr);
    }
};

QTEST_MAIN(TestWindowUtilities)
#include "tst_windowutilities.moc"
