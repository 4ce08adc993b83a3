// The floor for the start-up benchmark: a bare Qt program that shows one
// empty main window, then reports like the desk does.
#include "common/ReadyProbe.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1024, 768);
    window.show();
    tolva::reportReadyAndQuit();
    return app.exec();
}
