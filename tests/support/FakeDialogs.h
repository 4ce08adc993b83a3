#pragma once

#include "Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

// Records every box the program shows and answers questions as scripted.
class FakeDialogs : public tolva::Dialogs {
public:
    struct Shown {
        QString kind; // "box", "ask", "input"
        QString text;
        Icon icon = Icon::None;
        QString title;
    };

    int beeps = 0;
    int normalPointers = 0;
    int busyPointers = 0;
    QList<Shown> shown;
    QQueue<bool> yesNoAnswers;             // empty queue answers Yes
    QQueue<std::optional<QString>> inputs; // empty queue cancels

    void beep() override { ++beeps; }
    void busyPointer() override { ++busyPointers; }
    void normalPointer() override { ++normalPointers; }
    void messageBox(const QString& text, Icon icon, const QString& title) override;
    bool askYesNo(const QString& text, Icon icon, const QString& title) override;
    std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                    const QString& defaultText) override;

    // Texts of every box shown, in order.
    QStringList texts() const;
};
