#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace tolva {

// For the start-up benchmark: once the event loop has gone idle with the
// window shown, print "ready" and the process's peak memory, then end.
inline void reportReadyAndQuit() {
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
}

} // namespace tolva
