#include "dialogs/WidgetDialogs.h"

#include "common/Clock.h"
#include "common/Globals.h"
#include "dialogs/AlphaNumKeypad.h"
#include "dialogs/CalendarWindow.h"
#include "dialogs/CodePicker.h"
#include "dialogs/MessageWindow.h"
#include "dialogs/NumKeypad.h"
#include "dialogs/ResultWindow.h"
#include "dialogs/WindowScale.h"

#include <QApplication>
#include <QFileDialog>
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
    if (m_fgDate) {
        m_fgDate->setReporter(reporter);
        m_fgDate->setGlobals(globals);
    }
    if (m_code)
        m_code->setReporter(reporter);
}

NumKeypad& WidgetDialogs::frmNumKey() {
    if (!m_numKey)
        m_numKey = std::make_unique<NumKeypad>(m_reporter);
    ScaleWithOwner(m_numKey.get(), m_parent);
    return *m_numKey;
}

AlphaNumKeypad& WidgetDialogs::frmANumKey() {
    if (!m_aNumKey)
        m_aNumKey = std::make_unique<AlphaNumKeypad>(m_reporter);
    ScaleWithOwner(m_aNumKey.get(), m_parent);
    return *m_aNumKey;
}

CalendarWindow& WidgetDialogs::frmFgDate() {
    if (!m_fgDate)
        m_fgDate = std::make_unique<CalendarWindow>(m_globals, m_clock, m_reporter);
    m_fgDate->setOwner(m_parent);
    return *m_fgDate;
}

CodePicker& WidgetDialogs::frmCode() {
    if (!m_code)
        m_code = std::make_unique<CodePicker>(m_reporter);
    m_code->setOwner(m_parent);
    return *m_code;
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
    // It sizes itself to its text at the scale of the window it serves.
    MessageWindow frmMsg(std::move(setup), m_parent);
    frmMsg.ShowMsg(message, seconds);
}

void WidgetDialogs::ShowResult(const QString& text, int milliseconds) {
    if (milliseconds <= 0)
        return;
    ResultWindow frmResult(m_parent, m_resultTicks);
    frmResult.showResult(text, milliseconds);
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

QString WidgetDialogs::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            continue;
        QString pattern = parts[i + 1];
        pattern.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + pattern + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> WidgetDialogs::saveFileDialog(const QString& filter, const QString& proposedName) {
    const QString path = QFileDialog::getSaveFileName(m_parent, QString(), proposedName, qtFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace tolva

namespace tolva {

bool WidgetDialogs::PickDate(QDate& datePicked, const std::optional<QVariant>& pvDate) {
    CalendarWindow& calendar = frmFgDate();
    if (!calendar.PickDate(pvDate))
        return false;
    datePicked = calendar.DATEPICKED;
    return true;
}

bool WidgetDialogs::ShowPick(const QList<QStringList>& rows, QString& code, QString* description,
                             const QString& pvLabel1, const QString& pvLabel2) {
    return frmCode().ShowPick(rows, code, description, pvLabel1, pvLabel2);
}

} // namespace tolva
