#pragma once

#include "dialogs/KeypadWindow.h"

class QKeyEvent;

namespace tolva {

// frmNumKey, the numeric keypad. The display takes no typing of its own: the
// window sees every key first and only digits, Backspace, Delete, the
// keypad's decimal point, Enter and Esc have an effect.
class NumKeypad : public KeypadWindow {
    Q_OBJECT
public:
    explicit NumKeypad(Reporter* reporter = nullptr, QWidget* parent = nullptr);

    bool ShowInput(QString& pvInputText, const std::optional<QString>& pvDefault = {});
    bool ShowInput2(QString& pvInputText, const QString& pvHeader,
                    const std::optional<QString>& pvDefault = {});
    bool EnterPWD(QString& pvInputText, const std::optional<QString>& pvDefault = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void afterAppend() override;
    void afterEdit() override {}

private:
    void Form_KeyPress(const QKeyEvent& key);
};

} // namespace tolva
