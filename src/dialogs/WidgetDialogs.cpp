#include "dialogs/WidgetDialogs.h"

#include "common/Globals.h"
#include "dialogs/AlphaNumKeypad.h"
#include "dialogs/MessageWindow.h"
#include "dialogs/NumKeypad.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace tolva {

namespace {
QMessageBox::Icon toQt(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

WidgetDialogs::WidgetDialogs() = default;
WidgetDialogs::~WidgetDialogs() = default;

void WidgetDialogs::setContext(const Globals* globals, Reporter* reporter) {
    m_globals = globals;
    m_reporter = reporter;
    if (m_numKey)
        m_numKey->setReporter(reporter);
    if (m_aNumKey)
        m_aNumKey->setReporter(reporter);
}

NumKeypad& WidgetDialogs::frmNumKey() {
    if (!m_numKey)
        m_numKey = std::make_unique<NumKeypad>(m_reporter);
    return *m_numKey;
}

AlphaNumKeypad& WidgetDialogs::frmANumKey() {
    if (!m_aNumKey)
        m_aNumKey = std::make_unique<AlphaNumKeypad>(m_reporter);
    return *m_aNumKey;
}

void WidgetDialogs::beep() {
    QApplication::beep();
}

void WidgetDialogs::busyPointer() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void WidgetDialogs::normalPointer() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void WidgetDialogs::messageBox(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool WidgetDialogs::askYesNo(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetDialogs::inputBox(const QString& title, const QString& prompt,
                                               const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void WidgetDialogs::ShowMsg(const QString& message, int seconds) {
    MessageWindow::Setup setup;
    if (m_globals) {
        setup.custName = m_globals->gCustName;
        setup.title = m_globals->title();
    }
    setup.beep = [this] { beep(); };
    setup.reporter = m_reporter;
    setup.ticks = m_msgTicks;
    MessageWindow frmMsg(std::move(setup), m_parent);
    frmMsg.ShowMsg(message, seconds);
}

bool WidgetDialogs::ShowInput(Keypad keypad, QString& text, const std::optional<QString>& defaultText) {
    if (keypad == Keypad::Numeric)
        return frmNumKey().ShowInput(text, defaultText);
    return frmANumKey().ShowInput(text, defaultText);
}

bool WidgetDialogs::ShowInput2(Keypad keypad, QString& text, const QString& header,
                               const std::optional<QString>& defaultText) {
    if (keypad == Keypad::Numeric)
        return frmNumKey().ShowInput2(text, header, defaultText);
    return frmANumKey().ShowInput2(text, header, defaultText);
}

bool WidgetDialogs::EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText) {
    if (keypad == Keypad::Numeric)
        return frmNumKey().EnterPWD(text, defaultText);
    return frmANumKey().EnterPWD(text, defaultText);
}

} // namespace tolva
