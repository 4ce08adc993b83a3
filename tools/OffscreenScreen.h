#pragma once

// Gives the offscreen platform one screen of the given size, so a window
// opens as it would on a till of that size. Call before the QApplication is
// created; does nothing unless QT_QPA_PLATFORM is plainly "offscreen". The
// JSON file the platform reads is written into dir, which must outlive the
// application.
#include <QByteArray>
#include <QFile>
#include <QSize>
#include <QString>

inline void useOffscreenScreen(const QString& dir, QSize size) {
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen")
        return;
    const QString path = dir + QStringLiteral("/screen.json");
    QFile json(path);
    if (!json.open(QIODevice::WriteOnly))
        return;
    json.write(
        QStringLiteral("{ \"windowFrameMargins\": false, \"screens\": [ { \"name\": \"till\", \"x\": 0, "
                       "\"y\": 0, \"width\": %1, \"height\": %2, \"logicalDpi\": 96, \"logicalBaseDpi\": "
                       "96, \"dpr\": 1 } ] }")
            .arg(size.width())
            .arg(size.height())
            .toUtf8());
    json.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
}
