#pragma once

class QWidget;

namespace tolva {

// The till's dialogs are laid out for a 1024 x 768 screen. On a larger
// screen they grow by the same factor as the main window (tillScale), so a
// keypad or a message stays in proportion to the window it serves.

// Grows the window and its controls by the factor: the window's own font
// and the fonts set on its controls, the fixed and minimum sizes of the
// controls, and the window's size. What each had at factor 1 is kept on it,
// so scaling again (for another factor) never compounds; a font or size the
// window sets anew before a showing is taken as its new size at factor 1.
void ScaleWindow(QWidget* window, double scale);

// Scales the dialog each time it is shown: by the size of the window it
// serves, or by its screen's when it serves none. Calling it again only
// changes the owner.
void ScaleWithOwner(QWidget* dialog, QWidget* owner);

} // namespace tolva
