#pragma once

#include "Clock.h"
#include "CodePage.h"
#include "Database.h"
#include "Dialogs.h"
#include "Globals.h"
#include "Reporter.h"
#include "SettingsStore.h"

namespace tolva {

// Everything program-wide in one object: the globals, the code page, the
// clock, the operator dialogs, the log and error reporter, the database
// connection gCNT and the per-user settings store. Created once at start;
// tests create their own.
class AppContext {
public:
    AppContext(Dialogs& dialogs, const Clock& clock, const CodePage& codePage = CodePage::fromEnvironment(),
               const QString& settingsFolder = QString())
        : codePage(codePage), clock(clock), dialogs(dialogs), reporter(g, this->codePage, clock, dialogs),
          settings(settingsFolder) {}

    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    Globals g;
    CodePage codePage;
    const Clock& clock;
    Dialogs& dialogs;
    Reporter reporter;
    Database gCNT;
    SettingsStore settings;
};

} // namespace tolva
