#include "support/FakeDialogs.h"

void FakeDialogs::messageBox(const QString& text, Icon icon, const QString& title) {
    if (whileShown)
        whileShown();
    shown.append({QStringLiteral("box"), text, icon, title});
}

bool FakeDialogs::askYesNo(const QString& text, Icon icon, const QString& title) {
    if (whileShown)
        whileShown();
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
    return ShowInput2(keypad, text, QString(), defaultText);
}

bool FakeDialogs::ShowInput2(Keypad keypad, QString& text, const QString& header,
                             const std::optional<QString>& defaultText) {
    keypadsShown << keypad;
    keypadHeaders << header;
    keypadDefaults << defaultText;
    if (keypadAnswers.isEmpty())
        return false;
    const std::optional<QString> answer = keypadAnswers.dequeue();
    if (!answer)
        return false;
    text = *answer;
    return true;
}

bool FakeDialogs::EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText) {
    return ShowInput(keypad, text, defaultText);
}

bool FakeDialogs::PickDate(QDate& datePicked, const std::optional<QVariant>& pvDate) {
    datePickCalls << pvDate;
    if (dateAnswers.isEmpty())
        return false;
    const std::optional<QDate> answer = dateAnswers.dequeue();
    if (!answer)
        return false;
    datePicked = *answer;
    return true;
}

bool FakeDialogs::ShowPick(const QList<QStringList>& rows, QString& code, QString* description,
                           const QString& pvLabel1, const QString& pvLabel2) {
    if (rows.isEmpty())
        return false;
    picksShown.append({rows, pvLabel1, pvLabel2});
    const std::optional<int> answer = pickAnswers.isEmpty() ? std::nullopt : pickAnswers.dequeue();
    if (answer && *answer >= 0 && *answer < rows.size()) {
        const QStringList& row = rows[*answer];
        code = row.value(0);
        if (description)
            *description = row.value(1);
    }
    return true;
}
