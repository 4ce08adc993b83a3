#pragma once

// Drives a modal window from inside its own event loop: the script is queued
// before the modal call, runs once the window is up, and anything it leaves
// open is closed so the caller can never stay blocked.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

inline QWidget* topLevel(const QString& name) {
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets)
        if (w->objectName() == name)
            return w;
    return nullptr;
}

inline bool isShown(const QString& name) {
    QWidget* w = topLevel(name);
    return w && w->isVisible();
}

// `seen` tells the test whether the window was up when the script ran.
inline void whenShown(const QString& name, std::function<void(QWidget*)> script, bool* seen = nullptr) {
    QTimer::singleShot(0, qApp, [name, script = std::move(script), seen] {
        QWidget* w = topLevel(name);
        const bool up = w && w->isVisible();
        if (seen)
            *seen = up;
        if (up)
            script(w);
        if (w && w->isVisible())
            w->close();
    });
}

// A touch on a key: a real mouse click on the named button.
inline bool touch(QWidget* window, const QString& key) {
    auto* button = window->findChild<QPushButton*>(key);
    if (!button || !button->isVisible())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}
