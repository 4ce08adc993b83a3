#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace tolva {

// For the start-up benchmark: once the event loop runs with the window
// shown, let it deliver what is still pending (the window's exposure and its
// first painting), then print "ready" and the process's peak memory, and
// end. A window counts as started when it is on the screen, not when it has
// merely been asked to show.
inline void reportReadyAndQuit() {
    QTimer::singleShot(0, [] {
        QCoreApplication::processEvents();
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
}

} // namespace tolva
