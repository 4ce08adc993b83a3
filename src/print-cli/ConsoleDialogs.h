#pragma once

#include "common/Dialogs.h"

#include <QString>

namespace tolva {

// The operator dialogs of a program without an operator: nothing is asked,
// every question is answered No or Cancel, and the last message shown is
// kept as the reason the program gives when it ends without its result.
class ConsoleDialogs : public Dialogs {
public:
    // The last message or question, on one line; empty when none was shown.
    QString lastMessage() const { return m_last; }

    void beep() override {}
    void busyPointer() override {}
    void normalPointer() override {}
    void messageBox(const QString& text, Icon, const QString&) override { keep(text); }
    bool askYesNo(const QString& text, Icon, const QString&) override {
        keep(text);
        return false;
    }
    std::optional<QString> inputBox(const QString&, const QString& prompt, const QString&) override {
        keep(prompt);
        return std::nullopt;
    }
    void ShowMsg(const QString& message, int) override { keep(message); }
    bool ShowInput(Keypad, QString&, const std::optional<QString>&) override { return false; }
    bool ShowInput2(Keypad, QString&, const QString&, const std::optional<QString>&) override {
        return false;
    }
    bool EnterPWD(Keypad, QString&, const std::optional<QString>&) override { return false; }
    bool PickDate(QDate&, const std::optional<QVariant>&) override { return false; }
    bool ShowPick(const QList<QStringList>&, QString&, QString*, const QString&, const QString&) override {
        return false;
    }
    std::optional<QString> saveFileDialog(const QString&, const QString&) override { return std::nullopt; }

private:
    void keep(const QString& text) { m_last = text.simplified(); }

    QString m_last;
};

} // namespace tolva
