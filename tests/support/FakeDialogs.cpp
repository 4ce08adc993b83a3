#include "support/FakeDialogs.h"

void FakeDialogs::messageBox(const QString& text, Icon icon, const QString& title) {
    shown.append({QStringLiteral("box"), text, icon, title});
}

bool FakeDialogs::askYesNo(const QString& text, Icon icon, const QString& title) {
    shown.append({QStringLiteral("ask"), text, icon, title});
    return yesNoAnswers.isEmpty() ? true : yesNoAnswers.dequeue();
}

std::optional<QString> FakeDialogs::inputBox(const QString& title, const QString& prompt,
                                             const QString& defaultText) {
    shown.append({QStringLiteral("input"), prompt, Icon::None, title});
    Q_UNUSED(defaultText);
    return inputs.isEmpty() ? std::nullopt : inputs.dequeue();
}

QStringList FakeDialogs::texts() const {
    QStringList out;
    for (const Shown& s : shown)
        out << s.text;
    return out;
}

bool FakeDialogs::ShowInput(Keypad keypad, QString& text, const std::optional<QString>& defaultText) {
    Q_UNUSED(defaultText);
    keypadsShown << keypad;
    if (keypadAnswers.isEmpty())
        return false;
    const std::optional<QString> answer = keypadAnswers.dequeue();
    if (!answer)
        return false;
    text = *answer;
    return true;
}

bool FakeDialogs::ShowInput2(Keypad keypad, QString& text, const QString& header,
                             const std::optional<QString>& defaultText) {
    Q_UNUSED(header);
    return ShowInput(keypad, text, defaultText);
}

bool FakeDialogs::EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText) {
    return ShowInput(keypad, text, defaultText);
}
