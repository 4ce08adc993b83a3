#pragma once

class QWidget;

namespace tolva {

// Puts the window in the bottom-right corner of the available area of its
// screen (the area without the task bar): its frame's right edge on the
// area's right edge, its frame's bottom on the area's bottom.
void BottomRightForm(QWidget* window);

} // namespace tolva
