#pragma once

#include "common/Dialogs.h"

#include <cstdio>

namespace tolva {

// The operator dialogs of a program that runs without an operator: nothing
// is shown, every question is answered No, every input and pick is
// cancelled. The texts a box, a question, an input prompt or the message
// window would have shown are handed to shown(), which a program overrides
// to keep or print them.
class SilentDialogs : public Dialogs {
public:
    void beep() override {}
    void busyPointer() override {}
    void normalPointer() override {}
    void messageBox(const QString& text, Icon, const QString&) override { shown(text); }
    bool askYesNo(const QString& text, Icon, const QString&) override {
        shown(text);
        return false;
    }
    std::optional<QString> inputBox(const QString&, const QString& prompt, const QString&) override {
        shown(prompt);
        return std::nullopt;
    }
    void ShowMsg(const QString& message, int) override { shown(message); }
    void ShowResult(const QString& text, int milliseconds) override {
        if (milliseconds > 0)
            shown(text);
    }
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

protected:
    // A text the operator would have read; nothing happens to it here.
    virtual void shown(const QString& text) { Q_UNUSED(text); }
};

// Silent dialogs that print each text the operator would have read on
// stderr, one line each: for the benchmarks and tools run from a shell.
class StderrDialogs : public SilentDialogs {
protected:
    void shown(const QString& text) override { std::fprintf(stderr, "box: %s\n", qPrintable(text)); }
};

} // namespace tolva
