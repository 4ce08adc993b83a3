#include "dialogs/NumKeypad.h"

#include "dialogs/ControlNames.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace tolva {

namespace {
const QString kTitle = QStringLiteral("數字輸入視窗");
const QString kPrompt = QStringLiteral("請輸入數字..");
constexpr int kDisplayPointSize = 36;
} // namespace

NumKeypad::NumKeypad(Reporter* reporter, QWidget* parent)
    : KeypadWindow(QStringLiteral("frmNumKey"), kTitle, kDisplayPointSize, reporter, parent) {
    m_txtDisp->setReadOnly(true);
    m_txtDisp->setFocusPolicy(Qt::NoFocus);
    previewKeys();
}

bool NumKeypad::ShowInput(QString& pvInputText, const std::optional<QString>& pvDefault) {
    return showKeypad(QStringLiteral("ShowInput"), pvInputText, kTitle, kPrompt, false, pvDefault,
                      kDisplayPointSize);
}

bool NumKeypad::ShowInput2(QString& pvInputText, const QString& pvHeader,
                           const std::optional<QString>& pvDefault) {
    return showKeypad(QStringLiteral("ShowInput2"), pvInputText, pvHeader.isEmpty() ? kTitle : pvHeader,
                      kPrompt, false, pvDefault, kDisplayPointSize);
}

bool NumKeypad::EnterPWD(QString& pvInputText, const std::optional<QString>& pvDefault) {
    return showKeypad(QStringLiteral("EnterPWD"), pvInputText, QStringLiteral("密碼輸入視窗"),
                      QStringLiteral("請輸入密碼"), true, pvDefault, kDisplayPointSize);
}

void NumKeypad::afterAppend() {
    m_cmdEnter->setFocus();
}

bool NumKeypad::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return KeypadWindow::eventFilter(watched, event);
    // Every key belongs to the window: none reaches a control, so a digit is
    // never entered twice and Enter never also presses a focused key.
    Form_KeyPress(*static_cast<QKeyEvent*>(event));
    return true;
}

void NumKeypad::Form_KeyPress(const QKeyEvent& key) {
    const int code = key.key();
    const bool keypad = key.modifiers().testFlag(Qt::KeypadModifier);
    if (code == Qt::Key_Escape) {
        cmdExit_Click();
    } else if (code == Qt::Key_Delete) {
        cmdDel_Click();
    } else if (keypad && (code == Qt::Key_Period || code == Qt::Key_Comma)) {
        // The numeric pad's decimal point clears: no point can be entered.
        cmdDel_Click();
    } else if (code == Qt::Key_Return || code == Qt::Key_Enter) {
        cmdEnter_Click();
    } else if (code >= Qt::Key_0 && code <= Qt::Key_9) {
        cmdNum_Click(code - Qt::Key_0);
    } else if (code == Qt::Key_Backspace) {
        cmdBack_Click();
    }
}

} // namespace tolva
