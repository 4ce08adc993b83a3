#pragma once

#include "common/Clock.h"
#include "common/CodePage.h"
#include "common/Dialogs.h"
#include "common/Globals.h"
#include "common/Reporter.h"
#include "db/Database.h"

namespace tolva {

// What the data services work with: the program-wide values, the code page,
// the clock, the operator dialogs, the log and error reporter and the
// database connection gCNT. The application's context extends it with the
// per-user settings store; tests create their own.
class DataContext {
public:
    DataContext(Dialogs& dialogs, const Clock& clock, const CodePage& codePage = CodePage::fromEnvironment())
        : codePage(codePage), clock(clock), dialogs(dialogs), reporter(g, this->codePage, clock, dialogs) {}

    DataContext(const DataContext&) = delete;
    DataContext& operator=(const DataContext&) = delete;

    Globals g;
    CodePage codePage;
    const Clock& clock;
    Dialogs& dialogs;
    Reporter reporter;
    Database gCNT;
};

} // namespace tolva
