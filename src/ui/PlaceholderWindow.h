#pragma once

#include <QMainWindow>

namespace tolva {

class PlaceholderWindow : public QMainWindow {
public:
    PlaceholderWindow();
};

} // namespace tolva
