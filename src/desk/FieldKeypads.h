#pragma once

#include <QString>

namespace tolva {

class Dialogs;
class DeskView;

// The on-screen keypad of an entry field, for a till without a keyboard: it
// names the field it fills (its caption as the operator reads it) and opens
// with the field's current value. Bill numbers, codes, card numbers and names
// take the alphanumeric keypad, amounts the numeric one.
class FieldKeypads {
public:
    FieldKeypads(DeskView& view, Dialogs& dialogs) : m_view(view), m_dialogs(dialogs) {}

    // Opens the field's keypad; true (the field filled) when the operator
    // confirmed. A control without a keypad opens nothing.
    bool enter(const QString& control);

private:
    DeskView& m_view;
    Dialogs& m_dialogs;
};

} // namespace tolva
