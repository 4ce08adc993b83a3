#include "desk/FieldKeypads.h"

#include "common/Dialogs.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"

#include <optional>

namespace tolva {

namespace {
struct KeypadField {
    QString caption;
    Dialogs::Keypad keypad;
};

std::optional<KeypadField> keypadOf(const QString& control) {
    using K = Dialogs::Keypad;
    for (int i : {0, 1}) {
        if (control == ctl::txtCheckNo(i))
            return KeypadField{QStringLiteral("帳單號(桌次)"), K::Alphanumeric};
        if (control == ctl::txtAmt(i))
            return KeypadField{i == 0 ? QStringLiteral("加值金額") : QStringLiteral("抵扣金額"), K::Numeric};
        if (control == ctl::txtRemark(i))
            return KeypadField{QStringLiteral("授權碼"), K::Alphanumeric};
    }
    if (control == ctl::txtCustNo || control == ctl::txtCustNoQry)
        return KeypadField{QStringLiteral("客戶卡號"), K::Alphanumeric};
    if (control == ctl::txtCustName || control == ctl::txtCustNameQry)
        return KeypadField{QStringLiteral("客戶名稱"), K::Alphanumeric};
    return std::nullopt;
}
} // namespace

bool FieldKeypads::enter(const QString& control) {
    const std::optional<KeypadField> field = keypadOf(control);
    if (!field)
        return false;
    QString text;
    if (!m_dialogs.ShowInput2(field->keypad, text, field->caption, m_view.text(control)))
        return false;
    m_view.setText(control, text);
    return true;
}

} // namespace tolva
