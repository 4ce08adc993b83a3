// The floor for the start-up benchmark: a bare Qt program that shows one
// empty main window, then reports like the desk does.
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1024, 768);
    window.show();
    QTimer::singleShot(0, [] {
        QFile status(QStringLiteral("/proc/self/status"));
        QByteArray peak;
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peak = line.mid(6).trimmed();
        std::printf("ready %s\n", peak.constData());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return app.exec();
}
