#include "Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tolva {

void BottomRightForm(QWidget* window) {
    if (!window)
        return;
    QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->ensurePolished();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    const QRect area = screen->availableGeometry();
    // The frame is known once the window has been shown; before that the
    // client size is the best there is.
    const QSize outer = window->frameGeometry().size().expandedTo(window->size());
    window->move(area.x() + area.width() - outer.width(), area.y() + area.height() - outer.height());
}

} // namespace tolva
