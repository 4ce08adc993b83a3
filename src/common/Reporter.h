#pragma once

#include "common/Clock.h"
#include "common/CodePage.h"
#include "common/Dialogs.h"
#include "common/Fault.h"
#include "common/Globals.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace tolva {

// The log file, the error file and the three error reporters. Each write opens
// the file, appends and closes it again, so other programs may read or delete
// the files between calls.
class Reporter {
public:
    static constexpr int kYes = 6;
    static constexpr int kNo = 7;

    Reporter(const Globals& globals, const CodePage& codePage, const Clock& clock, Dialogs& dialogs)
        : m_g(globals), m_cp(codePage), m_clock(clock), m_dialogs(dialogs) {}

    // Appends "YYYY-MM-DD HH:MM:SS => message" CR LF to path (gLogFile when empty).
    void WriteLog(const QString& message, const QString& path = QString());
    // Delete the file when it is larger than limit x 1024 bytes; limit is a
    // number or numeric text, 100 when missing. Failures are ignored.
    void TrimLogFile(const QVariant& limit = QVariant());
    void TrimErrFile(const QVariant& limit = QVariant());

    // Beep, error block, warning box with OK, normal pointer. A fault with an
    // operator text shows that text alone; the error block keeps the rest.
    void ErrorMsg(const QString& procedure, const Fault& fault);
    // Beep, error block, warning box with Yes and No, normal pointer; 6 or 7.
    int ErrorAsk(const QString& procedure, const Fault& fault);
    // Error block only.
    void ErrorLog(const QString& procedure, const Fault& fault);

    // The five-line report text shared by the reporters.
    static QString reportText(const QString& procedure, const Fault& fault);
    QByteArray logLine(const QString& message) const;
    QByteArray errorBlock(const QString& procedure, const Fault& fault) const;

    const CodePage& codePage() const { return m_cp; }
    Dialogs& dialogs() { return m_dialogs; }

private:
    // What the operator reads in the box: the operator text, or the report.
    static QString shownText(const QString& procedure, const Fault& fault);
    static void trim(const QString& path, const QVariant& limit);
    static bool append(const QString& path, const QByteArray& bytes);

    const Globals& m_g;
    const CodePage& m_cp;
    const Clock& m_clock;
    Dialogs& m_dialogs;
};

} // namespace tolva
