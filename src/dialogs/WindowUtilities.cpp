#include "dialogs/WindowUtilities.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>

namespace tolva {

namespace {

QRect availableArea(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

bool takesTabFocus(QWidget* w, QWidget* window) {
    return w->window() == window && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) &&
           w->isEnabled();
}

} // namespace

void CenterForm(QWidget* window) {
    if (!window)
        return;
    const QRect area = availableArea(window);
    if (area.isEmpty())
        return;
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
}

void BottomRightForm(QWidget* window) {
    if (!window)
        return;
    const QRect area = availableArea(window);
    if (area.isEmpty())
        return;
    window->ensurePolished();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    // The frame is known once the window has been shown; before that the
    // client size is the best there is.
    const QSize size = window->frameGeometry().size().expandedTo(window->size());
    window->move(area.x() + area.width() - size.width(), area.y() + area.height() - size.height());
}

void CenterOnWindow(QWidget* dialog, QWidget* owner) {
    if (!dialog)
        return;
    if (!owner || !owner->isVisible()) {
        CenterForm(dialog);
        return;
    }
    const QRect frame = owner->frameGeometry();
    const QSize size = dialog->frameGeometry().size().expandedTo(dialog->size());
    QRect placed(QPoint(frame.x() + (frame.width() - size.width()) / 2,
                        frame.y() + (frame.height() - size.height()) / 2),
                 size);
    const QRect area = availableArea(owner);
    if (!area.isEmpty()) {
        placed.moveRight(std::min(placed.right(), area.right()));
        placed.moveBottom(std::min(placed.bottom(), area.bottom()));
        placed.moveLeft(std::max(placed.left(), area.left()));
        placed.moveTop(std::max(placed.top(), area.top()));
    }
    dialog->move(placed.topLeft());
}

double tillScale(const QSize& windowSize) {
    if (windowSize.isEmpty())
        return 1.0;
    const double scale = std::min(windowSize.width() / 1024.0, windowSize.height() / 768.0);
    return std::clamp(scale, 1.0, 1.8);
}

void SelAllText(QWidget* edit) {
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        line->selectAll();
    else if (auto* combo = qobject_cast<QComboBox*>(edit); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    else if (auto* text = qobject_cast<QTextEdit*>(edit))
        text->selectAll();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(edit))
        plain->selectAll();
}

void SendTabKey(QWidget* from, int key) {
    bool forward = false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down)
        forward = true;
    else if (key != Qt::Key_Up)
        return;
    if (!from)
        from = QApplication::focusWidget();
    if (!from)
        return;
    QWidget* window = from->window();
    QWidget* w = from;
    // Walk the focus chain once round at most.
    for (;;) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == from)
            return;
        if (takesTabFocus(w, window)) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

void ClearInputs(QWidget* window) {
    if (!window)
        return;
    // An empty field is left alone: clearing it again changes nothing the
    // operator sees, yet repaints it.
    for (QLineEdit* edit : window->findChildren<QLineEdit*>())
        if (IsInputName(edit->objectName()) && !edit->text().isEmpty())
            edit->clear();
    for (QComboBox* combo : window->findChildren<QComboBox*>()) {
        if (!IsInputName(combo->objectName()))
            continue;
        if (combo->isEditable())
            combo->setEditText(QString());
        else
            combo->setCurrentIndex(-1);
    }
}

bool IsInputName(const QString& name) {
    return name.startsWith(QLatin1String("txt")) || name.startsWith(QLatin1String("cbo"));
}

} // namespace tolva
