// The floors for the start-up benchmark: a bare Qt program that shows one
// main window, then reports like the desk does. Without arguments the window
// is empty, so it never lays out text and never loads the font database;
// with "label" it shows one line of text in a label, the least a program
// that shows anything pays.
#include "common/ReadyProbe.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstring>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "label") == 0)
        window.setCentralWidget(new QLabel(QStringLiteral("TOLVA")));
    window.resize(1024, 768);
    window.show();
    tolva::reportReadyAndQuit();
    return app.exec();
}
