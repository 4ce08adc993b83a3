#include "dialogs/AlphaNumKeypad.h"

#include "dialogs/ControlNames.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tolva {

namespace {
const QString kTitle = QStringLiteral("英文數字輸入視窗");
constexpr int kDisplayPointSize = 24;
constexpr int kLetterPointSize = 22;
constexpr int kLetterKey = 64;
constexpr int kLetters = 30;

bool isLetterKey(int index) {
    return (index >= 1 && index <= 26) || index == 29 || index == 30;
}

QString letterCaption(int index) {
    if (index >= 1 && index <= 26)
        return QString(QChar(u'A' + (index - 1)));
    switch (index) {
    case 0:
        return QStringLiteral("7");
    case 27:
        return QStringLiteral("C");
    case 28:
        return QStringLiteral("D");
    case 29:
        return QStringLiteral(".");
    default:
        return QStringLiteral("-");
    }
}
} // namespace

AlphaNumKeypad::AlphaNumKeypad(Reporter* reporter, QWidget* parent)
    : KeypadWindow(QStringLiteral("frmANumKey"), kTitle, kDisplayPointSize, reporter, parent) {
    // Load step: the prompt line starts out as the title text.
    m_elaMsg->setText(QStringLiteral("英文/數字輸入視窗"));

    // Six keys a row: A-F, G-L, M-R, S-X, and Y, Z, two empty places, ".", "-".
    auto* block = new QWidget(this);
    block->setObjectName(QStringLiteral("letterBlock"));
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    for (int index = 0; index <= kLetters; ++index) {
        auto* key = makeKey(block, arrayName(QStringLiteral("cmdAlpha"), index), letterCaption(index),
                            kLetterPointSize, QSize(kLetterKey, kLetterKey));
        if (!isLetterKey(index)) {
            // Members that take no part: present, hidden, disabled, unwired.
            key->setEnabled(false);
            key->hide();
            if (index == 0)
                continue;
        } else {
            connect(key, &QPushButton::clicked, this, [this, index] { cmdAlpha_Click(index); });
        }
        grid->addWidget(key, (index - 1) / 6, (index - 1) % 6);
    }
    m_keys->insertWidget(0, block, 0, Qt::AlignTop | Qt::AlignLeft);

    // Touching a key must not take the focus from the display.
    const auto keys = findChildren<QPushButton*>();
    for (QPushButton* key : keys)
        key->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_txtDisp);
    previewKeys();
}

bool AlphaNumKeypad::ShowInput(QString& pvInputText, const std::optional<QString>& pvDefault) {
    return showKeypad(QStringLiteral("ShowInput"), pvInputText, kTitle, QString(), false, pvDefault,
                      kDisplayPointSize);
}

bool AlphaNumKeypad::ShowInput2(QString& pvInputText, const QString& pvHeader,
                                const std::optional<QString>& pvDefault) {
    return showKeypad(QStringLiteral("ShowInput2"), pvInputText, pvHeader.isEmpty() ? kTitle : pvHeader,
                      pvHeader, false, pvDefault, kDisplayPointSize);
}

bool AlphaNumKeypad::EnterPWD(QString& pvInputText, const std::optional<QString>& pvDefault) {
    return showKeypad(QStringLiteral("EnterPWD"), pvInputText, QStringLiteral("密碼輸入視窗"),
                      QStringLiteral("請輸入密碼.."), true, pvDefault, kDisplayPointSize);
}

void AlphaNumKeypad::cmdAlpha_Click(int index) {
    if (!isLetterKey(index))
        return;
    appendKey(letterCaption(index));
}

void AlphaNumKeypad::afterEdit() {
    m_txtDisp->end(false);
    m_txtDisp->setFocus();
}

bool AlphaNumKeypad::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        m_txtDisp->setFocus();
    return KeypadWindow::event(event);
}

void AlphaNumKeypad::showEvent(QShowEvent* event) {
    KeypadWindow::showEvent(event);
    m_txtDisp->setFocus();
}

bool AlphaNumKeypad::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int code = static_cast<QKeyEvent*>(event)->key();
        if (code == Qt::Key_Return || code == Qt::Key_Enter) {
            cmdEnter_Click();
            return true;
        }
        // A key the display left alone reaches the window last; the dialog's
        // own Esc and default-key handling must not act on it.
        if (watched == this)
            return true;
    }
    return KeypadWindow::eventFilter(watched, event);
}

} // namespace tolva
