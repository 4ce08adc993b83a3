// Another program of the same user working on the settings store, for the
// tests that need a second process:
//   settings_peer get FOLDER APPLICATION SECTION KEY   prints the value
//   settings_peer put FOLDER APPLICATION SECTION PREFIX COUNT
//       saves PREFIX1=v1 ... PREFIXn=vn, one Save each
#include "app/SettingsStore.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == QLatin1String("get")) {
        const tolva::SettingsStore store(args[2]);
        QTextStream(stdout) << store.Get(args[3], args[4], args[5]);
        return 0;
    }
    if (args.size() == 7 && args[1] == QLatin1String("put")) {
        tolva::SettingsStore store(args[2]);
        const int count = args[6].toInt();
        for (int i = 1; i <= count; ++i)
            if (!store.Save(args[3], args[4], args[5] + QString::number(i), QStringLiteral("v%1").arg(i)))
                return 1;
        return 0;
    }
    QTextStream(stderr)
        << "usage: settings_peer get FOLDER APP SECTION KEY | put FOLDER APP SECTION PREFIX COUNT\n";
    return 2;
}
