#pragma once

#include "dialogs/KeypadWindow.h"

namespace tolva {

// frmANumKey, the alphanumeric keypad: the numeric block with a block of
// letter keys to its left. The display takes ordinary typing, so a keyboard
// can enter and edit anything; Enter accepts.
class AlphaNumKeypad : public KeypadWindow {
    Q_OBJECT
public:
    explicit AlphaNumKeypad(Reporter* reporter = nullptr, QWidget* parent = nullptr);

    bool ShowInput(QString& pvInputText, const std::optional<QString>& pvDefault = {});
    bool ShowInput2(QString& pvInputText, const QString& pvHeader,
                    const std::optional<QString>& pvDefault = {});
    bool EnterPWD(QString& pvInputText, const std::optional<QString>& pvDefault = {});

    // A letter key: indices 1..26 "A".."Z", 29 ".", 30 "-". The hidden
    // members 0, 27 and 28 do nothing.
    void cmdAlpha_Click(int index);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void afterAppend() override { afterEdit(); }
    void afterEdit() override;
};

} // namespace tolva
