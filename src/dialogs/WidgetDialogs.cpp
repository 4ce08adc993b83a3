#include "WidgetDialogs.h"

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

} // namespace tolva
