#pragma once

#include "Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace tolva {

// The operator dialogs with real widgets.
class WidgetDialogs : public Dialogs {
public:
    void setParent(QWidget* parent) { m_parent = parent; }

    void beep() override;
    void busyPointer() override;
    void normalPointer() override;
    void messageBox(const QString& text, Icon icon, const QString& title) override;
    bool askYesNo(const QString& text, Icon icon, const QString& title) override;
    std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                    const QString& defaultText) override;

    // Filled in by the message window and keypad widgets.
    void ShowMsg(const QString& message, int seconds = 3) override;
    bool ShowInput(Keypad keypad, QString& text, const std::optional<QString>& defaultText = {}) override;
    bool ShowInput2(Keypad keypad, QString& text, const QString& header,
                    const std::optional<QString>& defaultText = {}) override;
    bool EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText = {}) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace tolva
