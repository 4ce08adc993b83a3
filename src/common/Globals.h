#pragma once

#include <QString>

namespace tolva {

// The program-wide values, under the names every part of the program uses.
// One instance is created at start and handed to the parts that read it;
// tests make their own.
struct Globals {
    // Where the program runs: its folder and its file name without extension.
    QString appDir;
    QString exeName = QStringLiteral("TOLVA");

    // INI settings and file locations.
    QString gIniFile;
    QString gLogFile;
    QString gErrFile;
    QString gCustName;
    QString gCalendar = QStringLiteral("YYYY/MM/DD");
    QString gDateSep = QStringLiteral("/");
    QString gLogoFile;
    QString gUserID;
    QString gAmtFmt = QStringLiteral("#,##0");
    QString gOPDate;

    // The database connection string; the connection itself, with its
    // dialect, is the context's gCNT.
    QString gConnStr;

    // Station identity.
    QString gStoreID;
    QString gPOSID;
    // Minutes within which a POS station's request is taken as the retry of
    // the same request handed over before (settings key HandOffRetryMinutes).
    int gRetryMinutes = 10;
    // Seconds a posting's result stays up before the program ends; 0 shows
    // none (settings key ResultSeconds).
    int gResultSeconds = 2;

    // The program's title as shown on its message boxes.
    QString title() const { return exeName; }
};

} // namespace tolva
