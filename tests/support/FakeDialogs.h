#pragma once

#include "common/Dialogs.h"

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

    // Message-window texts in order, and the keypad answers to give
    // (nullopt: the operator left without confirming; empty queue: leaves).
    QStringList msgs;
    QList<int> msgSeconds;
    QQueue<std::optional<QString>> keypadAnswers;
    QList<Keypad> keypadsShown;

    void ShowMsg(const QString& message, int seconds) override {
        msgs << message;
        msgSeconds << seconds;
    }
    bool ShowInput(Keypad keypad, QString& text, const std::optional<QString>& defaultText) override;
    bool ShowInput2(Keypad keypad, QString& text, const QString& header,
                    const std::optional<QString>& defaultText) override;
    bool EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText) override;

    // Texts of every box shown, in order.
    QStringList texts() const;
};
