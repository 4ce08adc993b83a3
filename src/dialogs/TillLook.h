#pragma once

class QApplication;

namespace tolva {

// The look of the whole program on a touch till, in Traditional Chinese:
// Qt's own zh_TW translation (so standard boxes read "是", "否", "確定"),
// dialog buttons at least 48 px high, tabs at least 48 px high and check box
// indicators of 32 px. Returns false when the translation could not be
// loaded (the boxes then keep Qt's English texts).
bool applyTillLook(QApplication& app);

} // namespace tolva
