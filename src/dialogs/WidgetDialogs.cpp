#include "WidgetDialogs.h"

#include "Globals.h"
#include "MessageWindow.h"

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
    Q_UNUSED(keypad);
    const auto answer = inputBox(QString(), QString(), defaultText.value_or(QString()));
    if (!answer)
        return false;
    text = *answer;
    return true;
}

bool WidgetDialogs::ShowInput2(Keypad keypad, QString& text, const QString& header,
                               const std::optional<QString>& defaultText) {
    Q_UNUSED(header);
    return ShowInput(keypad, text, defaultText);
}

bool WidgetDialogs::EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText) {
    return ShowInput(keypad, text, defaultText);
}

} // namespace tolva
