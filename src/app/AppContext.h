#pragma once

#include "app/SettingsStore.h"
#include "data/DataContext.h"

namespace tolva {

// Everything program-wide in one object: the data services' context plus the
// per-user settings store. Created once at start; tests create their own.
class AppContext : public DataContext {
public:
    AppContext(Dialogs& dialogs, const Clock& clock, const CodePage& codePage = CodePage::fromEnvironment(),
               const QString& settingsFolder = QString())
        : DataContext(dialogs, clock, codePage), settings(settingsFolder) {}

    SettingsStore settings;
};

} // namespace tolva
