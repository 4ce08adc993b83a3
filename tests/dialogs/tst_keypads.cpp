// The numeric and alphanumeric keypads, driven by touches and key presses
// while their modal showing runs.
#include "dialogs/AlphaNumKeypad.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/NumKeypad.h"
#include "dialogs/WidgetDialogs.h"
#include "dialogs/WindowUtilities.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>

using namespace tolva;
using Keypad = Dialogs::Keypad;

namespace {

const QString kNum = QStringLiteral("frmNumKey");
const QString kANum = QStringLiteral("frmANumKey");

QLineEdit* display(QWidget* w) {
    return w->findChild<QLineEdit*>(QStringLiteral("txtDisp"));
}
QString shownText(QWidget* w) {
    auto* d = display(w);
    return d ? d->text() : QStringLiteral("<no txtDisp>");
}
QPushButton* key(QWidget* w, const QString& name) {
    return w->findChild<QPushButton*>(name);
}

// What a showing looked like while it was up.
struct Seen {
    bool up = false;
    QString caption;
    QString prompt;
    QString text;
    QString masked;
    QLineEdit::EchoMode echo = QLineEdit::Normal;
};
void look(QWidget* w, Seen& seen) {
    seen.caption = w->windowTitle();
    if (auto* p = w->findChild<QLabel*>(QStringLiteral("elaMsg")))
        seen.prompt = p->text();
    if (auto* d = display(w)) {
        seen.text = d->text();
        seen.masked = d->displayText();
        seen.echo = d->echoMode();
    }
}

// Touches the keys in order; a name starting with "!" is a physical key.
void press(QWidget* w, const QStringList& keys) {
    for (const QString& k : keys) {
        if (!w->isVisible())
            return;
        if (k == QStringLiteral("!Esc"))
            QTest::keyClick(w, Qt::Key_Escape);
        else if (k == QStringLiteral("!Enter"))
            QTest::keyClick(w, Qt::Key_Return);
        else if (!touch(w, k))
            QFAIL(qPrintable(QStringLiteral("no key ") + k));
    }
}

} // namespace

class TestKeypads : public QObject {
    Q_OBJECT

    WidgetDialogs* m_dialogs = nullptr;

    // One showing of a keypad through the dialogs interface, with the keys
    // touched in order; returns the result and what the display showed just
    // before the last key.
    bool run(Keypad pad, QString& out, const QStringList& keys, QString* before = nullptr,
             const std::optional<QString>& def = {}) {
        whenShown(pad == Keypad::Numeric ? kNum : kANum, [&](QWidget* w) {
            press(w, keys.mid(0, keys.size() - 1));
            if (before)
                *before = shownText(w);
            press(w, keys.mid(keys.size() - 1));
        });
        return m_dialogs->ShowInput(pad, out, def);
    }

private slots:
    void init() { m_dialogs = new WidgetDialogs; }
    void cleanup() {
        delete m_dialogs;
        m_dialogs = nullptr;
    }

    void keysBuildTheText_data() {
        QTest::addColumn<int>("pad");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("expected");
        const auto num = int(Keypad::Numeric);
        const auto alpha = int(Keypad::Alphanumeric);
        for (int pad : {num, alpha}) {
            const char* tag = pad == num ? "numeric" : "alphanumeric";
            QTest::addRow("%s: digits", tag)
                << pad
                << QStringList{QStringLiteral("cmdNum(1)"), QStringLiteral("cmdNum(2)"),
                               QStringLiteral("cmdNum(9)"), QStringLiteral("cmdEnter")}
                << QStringLiteral("129");
            QTest::addRow("%s: 00 on empty", tag)
                << pad << QStringList{QStringLiteral("cmdNum(10)"), QStringLiteral("cmdEnter")}
                << QStringLiteral("00");
            QTest::addRow("%s: 0 then 5 keeps the zero", tag)
                << pad
                << QStringList{QStringLiteral("cmdNum(0)"), QStringLiteral("cmdNum(5)"),
                               QStringLiteral("cmdEnter")}
                << QStringLiteral("05");
            QTest::addRow("%s: clear then more", tag)
                << pad
                << QStringList{QStringLiteral("cmdNum(7)"), QStringLiteral("cmdNum(10)"),
                               QStringLiteral("cmdDel"), QStringLiteral("cmdNum(3)"),
                               QStringLiteral("cmdEnter")}
                << QStringLiteral("3");
            QTest::addRow("%s: backspace drops the last", tag)
                << pad
                << QStringList{QStringLiteral("cmdNum(4)"), QStringLiteral("cmdNum(10)"),
                               QStringLiteral("cmdBack"), QStringLiteral("cmdEnter")}
                << QStringLiteral("40");
            QTest::addRow("%s: backspace on empty does nothing", tag)
                << pad
                << QStringList{QStringLiteral("cmdBack"), QStringLiteral("cmdBack"),
                               QStringLiteral("cmdNum(8)"), QStringLiteral("cmdEnter")}
                << QStringLiteral("8");
            QTest::addRow("%s: Enter on empty accepts the empty text", tag)
                << pad << QStringList{QStringLiteral("!Enter")} << QString();
        }
        QTest::addRow("alphanumeric: letters, point and dash")
            << alpha << QStringList{QStringLiteral("cmdAlpha(1)"),  QStringLiteral("cmdAlpha(26)"),
                                    QStringLiteral("cmdAlpha(29)"), QStringLiteral("cmdNum(5)"),
                                    QStringLiteral("cmdAlpha(30)"), QStringLiteral("cmdAlpha(13)"),
                                    QStringLiteral("cmdEnter")}
            << QStringLiteral("AZ.5-M");
    }
    void keysBuildTheText() {
        QFETCH(int, pad);
        QFETCH(QStringList, keys);
        QFETCH(QString, expected);
        QString out = QStringLiteral("before");
        QString before;
        QVERIFY(run(Keypad(pad), out, keys, &before));
        QCOMPARE(before, expected);
        QCOMPARE(out, expected);
    }

    void leavingKeepsTheCallersText_data() {
        QTest::addColumn<int>("pad");
        QTest::addColumn<QStringList>("keys");
        const auto num = int(Keypad::Numeric);
        const auto alpha = int(Keypad::Alphanumeric);
        QTest::newRow("numeric: 離開")
            << num << QStringList{QStringLiteral("cmdNum(1)"), QStringLiteral("cmdExit")};
        QTest::newRow("numeric: Esc")
            << num << QStringList{QStringLiteral("cmdNum(1)"), QStringLiteral("!Esc")};
        QTest::newRow("numeric: window closed") << num << QStringList{QStringLiteral("cmdNum(1)")};
        QTest::newRow("alphanumeric: 離開")
            << alpha << QStringList{QStringLiteral("cmdAlpha(2)"), QStringLiteral("cmdExit")};
        QTest::newRow("alphanumeric: window closed") << alpha << QStringList{QStringLiteral("cmdAlpha(2)")};
    }
    void leavingKeepsTheCallersText() {
        QFETCH(int, pad);
        QFETCH(QStringList, keys);
        QString out = QStringLiteral("A123");
        QVERIFY(!run(Keypad(pad), out, keys));
        QCOMPARE(out, QStringLiteral("A123"));
    }

    void defaultIsShownAndAppendedTo() {
        QString out;
        QString before;
        QVERIFY(run(Keypad::Numeric, out, {QStringLiteral("cmdNum(3)"), QStringLiteral("cmdEnter")}, &before,
                    QStringLiteral("12")));
        QCOMPARE(before, QStringLiteral("123"));
        QCOMPARE(out, QStringLiteral("123"));

        QVERIFY(run(Keypad::Alphanumeric, out, {QStringLiteral("cmdAlpha(2)"), QStringLiteral("cmdEnter")},
                    &before, QStringLiteral("A00")));
        QCOMPARE(out, QStringLiteral("A00B"));
    }

    void numericPhysicalKeys() {
        // The window sees every key first, whichever control would get it.
        QStringList steps;
        QString out;
        whenShown(kNum, [&](QWidget* w) {
            QLineEdit* d = display(w);
            QPushButton* one = key(w, QStringLiteral("cmdNum(1)"));
            QTest::keyClick(w, Qt::Key_4);
            QTest::keyClick(d, Qt::Key_2, Qt::KeypadModifier);
            QTest::keyClick(one, Qt::Key_7);
            steps << d->text(); // digits, main row and pad, never twice
            QTest::keyClick(w, Qt::Key_A);
            QTest::keyClick(w, Qt::Key_Period);
            QTest::keyClick(w, Qt::Key_Minus);
            QTest::keyClick(one, Qt::Key_Space); // would press the focused key
            steps << d->text();
            QTest::keyClick(w, Qt::Key_Backspace);
            steps << d->text();
            QTest::keyClick(w, Qt::Key_Period, Qt::KeypadModifier);
            steps << d->text(); // the pad's point clears
            QTest::keyClick(w, Qt::Key_9);
            QTest::keyClick(w, Qt::Key_Delete);
            steps << d->text();
            QTest::keyClick(w, Qt::Key_5);
            QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
        });
        QVERIFY(m_dialogs->ShowInput(Keypad::Numeric, out));
        QCOMPARE(steps, (QStringList{QStringLiteral("427"), QStringLiteral("427"), QStringLiteral("42"),
                                     QString(), QString()}));
        QCOMPARE(out, QStringLiteral("5"));
    }

    void alphanumericTypingGoesToTheDisplay() {
        QStringList steps;
        bool stillUpAfterEsc = false;
        QString out;
        whenShown(kANum, [&](QWidget* w) {
            QLineEdit* d = display(w);
            touch(w, QStringLiteral("cmdAlpha(1)"));
            steps << QString::number(w->focusWidget() == d) << QString::number(d->cursorPosition());
            QTest::keyClicks(d, QStringLiteral("b1.x"));
            steps << d->text();
            QTest::keyClick(d, Qt::Key_Home);
            QTest::keyClick(d, Qt::Key_Delete); // ordinary editing at the caret
            steps << d->text();
            QTest::keyClick(d, Qt::Key_Escape);
            QTest::keyClick(w, Qt::Key_Escape);
            stillUpAfterEsc = w->isVisible();
            touch(w, QStringLiteral("cmdAlpha(3)")); // appends at the end, caret or not
            steps << d->text() << QString::number(d->cursorPosition());
            QTest::keyClick(d, Qt::Key_Return);
        });
        QVERIFY(m_dialogs->ShowInput(Keypad::Alphanumeric, out));
        QCOMPARE(steps, (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Ab1.x"),
                                     QStringLiteral("b1.x"), QStringLiteral("b1.xC"), QStringLiteral("5")}));
        QVERIFY(stillUpAfterEsc);
        QCOMPARE(out, QStringLiteral("b1.xC"));
    }

    void hiddenLetterMembersAreInert() {
        AlphaNumKeypad& pad = m_dialogs->frmANumKey();
        const QList<int> hidden{0, 27, 28};
        const QStringList captions{QStringLiteral("7"), QStringLiteral("C"), QStringLiteral("D")};
        for (int i = 0; i < hidden.size(); ++i) {
            QPushButton* b = key(&pad, QStringLiteral("cmdAlpha(%1)").arg(hidden[i]));
            QVERIFY(b);
            QCOMPARE(b->text(), captions[i]);
            QVERIFY(b->isHidden());
        }
        QString out;
        whenShown(kANum, [&](QWidget* w) {
            for (int index : hidden) {
                key(w, QStringLiteral("cmdAlpha(%1)").arg(index))->click();
                pad.cmdAlpha_Click(index);
            }
            QTest::keyClick(w, Qt::Key_Return);
        });
        QVERIFY(m_dialogs->ShowInput(Keypad::Alphanumeric, out));
        QCOMPARE(out, QString());
    }

    void operationsSetCaptionPromptAndMask_data() {
        QTest::addColumn<int>("pad");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("prompt");
        const auto num = int(Keypad::Numeric);
        const auto alpha = int(Keypad::Alphanumeric);
        const QString numTitle = QStringLiteral("數字輸入視窗");
        const QString alphaTitle = QStringLiteral("英文數字輸入視窗");
        const QString pwd = QStringLiteral("密碼輸入視窗");
        const QString h = QStringLiteral("請輸入單號");
        QTest::newRow("num ShowInput")
            << num << "ShowInput" << QString() << numTitle << QStringLiteral("請輸入數字..");
        QTest::newRow("num ShowInput2") << num << "ShowInput2" << h << h << QStringLiteral("請輸入數字..");
        QTest::newRow("num ShowInput2, no header")
            << num << "ShowInput2" << QString() << numTitle << QStringLiteral("請輸入數字..");
        QTest::newRow("num EnterPWD")
            << num << "EnterPWD" << QString() << pwd << QStringLiteral("請輸入密碼");
        QTest::newRow("alpha ShowInput") << alpha << "ShowInput" << QString() << alphaTitle << QString();
        QTest::newRow("alpha ShowInput2") << alpha << "ShowInput2" << h << h << h;
        QTest::newRow("alpha ShowInput2, no header")
            << alpha << "ShowInput2" << QString() << alphaTitle << QString();
        QTest::newRow("alpha EnterPWD")
            << alpha << "EnterPWD" << QString() << pwd << QStringLiteral("請輸入密碼..");
    }
    void operationsSetCaptionPromptAndMask() {
        QFETCH(int, pad);
        QFETCH(QString, op);
        QFETCH(QString, header);
        QFETCH(QString, caption);
        QFETCH(QString, prompt);
        Seen seen;
        QString out;
        whenShown(pad == int(Keypad::Numeric) ? kNum : kANum, [&](QWidget* w) {
            press(w, {QStringLiteral("cmdNum(1)"), QStringLiteral("cmdNum(2)")});
            look(w, seen);
            press(w, {QStringLiteral("cmdEnter")});
        });
        bool ok = false;
        if (op == QStringLiteral("ShowInput"))
            ok = m_dialogs->ShowInput(Keypad(pad), out);
        else if (op == QStringLiteral("ShowInput2"))
            ok = m_dialogs->ShowInput2(Keypad(pad), out, header);
        else
            ok = m_dialogs->EnterPWD(Keypad(pad), out);
        QVERIFY(ok);
        QCOMPARE(seen.caption, caption);
        QCOMPARE(seen.prompt, prompt);
        const bool masked = op == QStringLiteral("EnterPWD");
        QCOMPARE(seen.echo, masked ? QLineEdit::Password : QLineEdit::Normal);
        QCOMPARE(seen.masked, masked ? QStringLiteral("**") : QStringLiteral("12"));
        QCOMPARE(out, QStringLiteral("12")); // the characters, never the mask
    }

    void aPasswordShowingLeavesNothingBehind_data() {
        QTest::addColumn<int>("pad");
        QTest::newRow("numeric") << int(Keypad::Numeric);
        QTest::newRow("alphanumeric") << int(Keypad::Alphanumeric);
    }
    void aPasswordShowingLeavesNothingBehind() {
        QFETCH(int, pad);
        const QString name = pad == int(Keypad::Numeric) ? kNum : kANum;
        QString pwd;
        QPointer<QWidget> first;
        whenShown(name, [&](QWidget* w) {
            first = w;
            press(w, {QStringLiteral("cmdNum(9)"), QStringLiteral("cmdNum(8)"), QStringLiteral("cmdEnter")});
        });
        QVERIFY(m_dialogs->EnterPWD(Keypad(pad), pwd, QStringLiteral("7")));
        QCOMPARE(pwd, QStringLiteral("798"));
        QVERIFY(first && first->isHidden()); // hidden, not destroyed

        Seen seen;
        QString out = QStringLiteral("unchanged");
        whenShown(name, [&](QWidget* w) {
            seen.up = w == first;
            look(w, seen);
            press(w, {QStringLiteral("cmdNum(1)")});
            look(w, seen);
            press(w, {QStringLiteral("cmdExit")});
        });
        QVERIFY(!m_dialogs->ShowInput(Keypad(pad), out));
        QVERIFY(seen.up); // the same instance serves the next call
        QCOMPARE(seen.echo, QLineEdit::Normal);
        QCOMPARE(seen.masked, QStringLiteral("1"));
        QVERIFY(seen.caption != QStringLiteral("密碼輸入視窗"));
        QCOMPARE(out, QStringLiteral("unchanged"));
    }

    void layoutForTouch() {
        NumKeypad& num = m_dialogs->frmNumKey();
        AlphaNumKeypad& alpha = m_dialogs->frmANumKey();
        for (QWidget* w : {static_cast<QWidget*>(&num), static_cast<QWidget*>(&alpha)}) {
            const auto keys = w->findChildren<QPushButton*>();
            for (QPushButton* b : keys) {
                QCOMPARE(b->accessibleDescription(), b->objectName());
                if (!b->isHidden())
                    QVERIFY2(b->width() >= 64 && b->height() >= 64, qPrintable(b->objectName()));
            }
            for (const char* name : {"elaMsg", "txtDisp", "elaSBar"})
                QVERIFY(w->findChild<QWidget*>(QLatin1String(name)));
            QCOMPARE(w->accessibleDescription(), w->objectName());
            QVERIFY(display(w)->alignment() & Qt::AlignRight);
            QVERIFY(display(w)->font().bold());
            QCOMPARE(display(w)->font().family(), QStringLiteral("Times New Roman"));
            QVERIFY(key(w, QStringLiteral("cmdBack"))->text().isEmpty());
            QVERIFY(!key(w, QStringLiteral("cmdBack"))->icon().isNull());
        }
        QCOMPARE(display(&num)->font().pointSize(), 36);
        QCOMPARE(display(&alpha)->font().pointSize(), 24);
        QCOMPARE(key(&num, QStringLiteral("cmdNum(10)"))->text(), QStringLiteral("00"));
        QCOMPARE(key(&num, QStringLiteral("cmdDel"))->text(), QStringLiteral("清除"));
        QCOMPARE(key(&num, QStringLiteral("cmdEnter"))->text(), QStringLiteral("確定"));
        QCOMPARE(key(&num, QStringLiteral("cmdExit"))->text(), QStringLiteral("離開"));
        QCOMPARE(key(&alpha, QStringLiteral("cmdAlpha(26)"))->text(), QStringLiteral("Z"));
        QCOMPARE(key(&alpha, QStringLiteral("cmdAlpha(29)"))->text(), QStringLiteral("."));
        QCOMPARE(key(&alpha, QStringLiteral("cmdAlpha(30)"))->text(), QStringLiteral("-"));

        // The 4 x 4 block, read off the key positions within the keypad.
        QStringList seenRows;
        whenShown(kNum, [&](QWidget* w) {
            const QStringList names{
                QStringLiteral("cmdNum(7)"), QStringLiteral("cmdNum(8)"),  QStringLiteral("cmdNum(9)"),
                QStringLiteral("cmdBack"),   QStringLiteral("cmdNum(4)"),  QStringLiteral("cmdNum(5)"),
                QStringLiteral("cmdNum(6)"), QStringLiteral("cmdExit"),    QStringLiteral("cmdNum(1)"),
                QStringLiteral("cmdNum(2)"), QStringLiteral("cmdNum(3)"),  QStringLiteral("cmdEnter"),
                QStringLiteral("cmdNum(0)"), QStringLiteral("cmdNum(10)"), QStringLiteral("cmdDel")};
            QPushButton* seven = key(w, names[0]);
            const int step = seven->width() + 2;
            for (const QString& n : names) {
                const QPoint at = key(w, n)->geometry().topLeft() - seven->geometry().topLeft();
                seenRows << QStringLiteral("%1:%2,%3").arg(n).arg(at.y() / step).arg(at.x() / step);
            }
            QPushButton* enter = key(w, QStringLiteral("cmdEnter"));
            seenRows << QStringLiteral("enter covers two rows: %1")
                            .arg(enter->geometry().bottom() ==
                                 key(w, QStringLiteral("cmdDel"))->geometry().bottom());
            // The keypad sits in the bottom-right corner of the screen.
            const QRect area = w->screen()->availableGeometry();
            seenRows
                << QStringLiteral("corner: %1").arg(w->frameGeometry().bottomRight() == area.bottomRight());
        });
        QString out;
        m_dialogs->ShowInput(Keypad::Numeric, out);
        QCOMPARE(seenRows,
                 (QStringList{QStringLiteral("cmdNum(7):0,0"), QStringLiteral("cmdNum(8):0,1"),
                              QStringLiteral("cmdNum(9):0,2"), QStringLiteral("cmdBack:0,3"),
                              QStringLiteral("cmdNum(4):1,0"), QStringLiteral("cmdNum(5):1,1"),
                              QStringLiteral("cmdNum(6):1,2"), QStringLiteral("cmdExit:1,3"),
                              QStringLiteral("cmdNum(1):2,0"), QStringLiteral("cmdNum(2):2,1"),
                              QStringLiteral("cmdNum(3):2,2"), QStringLiteral("cmdEnter:2,3"),
                              QStringLiteral("cmdNum(0):3,0"), QStringLiteral("cmdNum(10):3,1"),
                              QStringLiteral("cmdDel:3,2"), QStringLiteral("enter covers two rows: 1"),
                              QStringLiteral("corner: 1")}));

        // On the alphanumeric keypad the letters stand left of the digits,
        // six to a row: A-F on the first, Y Z . - on the last.
        bool lettersLeft = false, rows = false, cornered = false;
        whenShown(kANum, [&](QWidget* w) {
            auto pos = [w](const QString& n) { return key(w, n)->mapTo(w, QPoint(0, 0)); };
            lettersLeft = pos(QStringLiteral("cmdAlpha(6)")).x() < pos(QStringLiteral("cmdNum(7)")).x();
            rows = pos(QStringLiteral("cmdAlpha(1)")).y() == pos(QStringLiteral("cmdAlpha(6)")).y() &&
                   pos(QStringLiteral("cmdAlpha(7)")).y() > pos(QStringLiteral("cmdAlpha(6)")).y() &&
                   pos(QStringLiteral("cmdAlpha(7)")).x() == pos(QStringLiteral("cmdAlpha(1)")).x() &&
                   pos(QStringLiteral("cmdAlpha(25)")).y() == pos(QStringLiteral("cmdAlpha(30)")).y() &&
                   pos(QStringLiteral("cmdAlpha(29)")).x() == pos(QStringLiteral("cmdAlpha(5)")).x() &&
                   pos(QStringLiteral("cmdAlpha(30)")).x() == pos(QStringLiteral("cmdAlpha(6)")).x();
            cornered = w->frameGeometry().bottomRight() == w->screen()->availableGeometry().bottomRight();
        });
        m_dialogs->ShowInput(Keypad::Alphanumeric, out);
        QVERIFY(lettersLeft);
        QVERIFY(rows);
        QVERIFY(cornered);
    }

    void focusFollowsTheKeys() {
        // Numeric: after a digit the focus is on "確定"; alphanumeric: back on
        // the display with the caret at the end.
        QString numFocus, alphaFocus;
        int caret = -1;
        whenShown(kNum, [&](QWidget* w) {
            touch(w, QStringLiteral("cmdNum(5)"));
            numFocus = w->focusWidget() ? w->focusWidget()->objectName() : QString();
        });
        QString out;
        m_dialogs->ShowInput(Keypad::Numeric, out);
        whenShown(kANum, [&](QWidget* w) {
            QTest::keyClicks(display(w), QStringLiteral("xy"));
            QTest::keyClick(display(w), Qt::Key_Home);
            touch(w, QStringLiteral("cmdBack"));
            alphaFocus = w->focusWidget() ? w->focusWidget()->objectName() : QString();
            caret = display(w)->cursorPosition();
        });
        m_dialogs->ShowInput(Keypad::Alphanumeric, out);
        QCOMPARE(numFocus, QStringLiteral("cmdEnter"));
        QCOMPARE(alphaFocus, QStringLiteral("txtDisp"));
        QCOMPARE(caret, 1);
    }

    void bottomRightFormUsesTheAvailableArea() {
        QWidget w;
        w.resize(300, 200);
        BottomRightForm(&w);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w.frameGeometry().bottomRight(), area.bottomRight());
        BottomRightForm(nullptr); // nothing to place, nothing happens
    }
};

QTEST_MAIN(TestKeypads)
#include "tst_keypads.moc"
