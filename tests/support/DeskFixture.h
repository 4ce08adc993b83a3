#pragma once

#include "app/AppContext.h"
#include "support/FakeDialogs.h"
#include "support/FixedClock.h"

#include <QTemporaryDir>

// A desk's surroundings for tests: a temp folder with an SQLite database made
// from the schema, a settings store of its own, a fixed clock and dialogs
// that record what was shown.
struct DeskFixture {
    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2026, 12, 8), QTime(10, 30, 0))};
    FakeDialogs dialogs;
    tolva::AppContext ctx;

    // connStr empty: a new SQLite file in the temp folder.
    explicit DeskFixture(const QString& connStr = QString())
        : ctx(dialogs, clock, tolva::CodePage(QStringLiteral("CP950")),
              dir.filePath(QStringLiteral("config"))) {
        ctx.g.appDir = dir.path();
        ctx.g.exeName = QStringLiteral("TOLVA");
        ctx.g.gLogFile = dir.filePath(QStringLiteral("TOLVA.LOG"));
        ctx.g.gErrFile = dir.filePath(QStringLiteral("TOLVA.ERR"));
        ctx.g.gUserID = QStringLiteral("cashier1");
        ctx.g.gOPDate = QStringLiteral("2026/12/08");
        ctx.g.gStoreID = QStringLiteral("S01");
        ctx.g.gPOSID = QStringLiteral("WS01");
        ctx.gCNT.open(connStr.isEmpty() ? QStringLiteral("Provider=SQLite;Data Source=") +
                                              dir.filePath(QStringLiteral("local.db"))
                                        : connStr);
    }

    QString get(const char* app, const char* section, const char* key) const {
        return ctx.settings.Get(QString::fromLatin1(app), QString::fromLatin1(section),
                                QString::fromLatin1(key));
    }
    void save(const char* app, const char* section, const char* key, const QString& value) {
        ctx.settings.Save(QString::fromLatin1(app), QString::fromLatin1(section), QString::fromLatin1(key),
                          value);
    }
    // The error file as text.
    QString errors() const;
};
