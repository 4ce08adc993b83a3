#pragma once

#include <QFont>

class QApplication;

namespace tolva {

// The size of the desk's text on a 1024 x 768 screen, in points.
constexpr int kTillTextPointSize = 15;

// The program's default font: WenQuanYi Micro Hei at kTillTextPointSize,
// without hinting. The font's own configuration turns hinting off; Qt reads
// only the hint style from it and would otherwise auto-hint every glyph, at
// a cost on every start and no gain at these sizes. The window's controls
// take this size from the start, so none is laid out at another size first.
QFont tillFont();

// The look of the whole program on a touch till, in Traditional Chinese:
// the till font, Qt's own zh_TW translation (so standard boxes read "是", "否", "確定"),
// dialog buttons at least 48 px high, tabs at least 48 px high and check box
// indicators of 32 px. Returns false when the translation could not be
// loaded (the boxes then keep Qt's English texts).
bool applyTillLook(QApplication& app);

} // namespace tolva
