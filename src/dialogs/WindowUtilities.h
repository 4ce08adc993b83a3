#pragma once

#include <QSize>

class QString;
class QWidget;

namespace tolva {

// Window placement, focus moves and clearing of entry fields. Like the other
// small utilities they do nothing when handed nothing.

// Centres the window on the available area of its screen (the area without
// panels and task bars).
void CenterForm(QWidget* window);

// Puts the window in the bottom right corner of the available area of its
// screen.
void BottomRightForm(QWidget* window);

// Centres a dialog on the window it serves (its frame on the window's
// frame), kept inside the available area of the screen; CenterForm when it
// serves no window.
void CenterOnWindow(QWidget* dialog, QWidget* owner);

// How much the till's windows grow beside a window of the given size: 1 up to
// 1024 x 768, then with the smaller of the two ratios, at most 1.8.
double tillScale(const QSize& windowSize);

// Selects the whole text of a line edit, text edit or editable combo box, so
// that typing replaces it.
void SelAllText(QWidget* edit);

// Moves the focus from the given field (the focused widget when null) to the
// next field in tab order on Qt::Key_Return, Qt::Key_Enter and Qt::Key_Down,
// and to the previous one on Qt::Key_Up. Every other key does nothing.
void SendTabKey(QWidget* from, int key);

// Empties every line edit and combo box of the window whose objectName
// starts with "txt" or "cbo" (letter case as written).
void ClearInputs(QWidget* window);

// Whether a control name is one that ClearInputs empties ("txt", "cbo").
bool IsInputName(const QString& controlName);

} // namespace tolva
