#pragma once

#include "common/CodePage.h"

#include <QString>
#include <QStringList>

namespace tolva {

// Small helpers for receipts, waits, external programs and file tests. None of
// them reports an error: a failing step is skipped.

// The text cut or padded with spaces to exactly width bytes of the code page.
// A double-byte character cut in half at the end comes back as U+FFFD, which
// the code page writes as one byte, so the column keeps its width.
QString PadTextB(const CodePage& codePage, const QString& text, int width);

// Blocks the calling thread for seconds x 1000 milliseconds, rounded down,
// without processing events.
void Pause(double seconds);

// The value ShellWait adds to a start failure's error code, so that every
// start failure is a negative number.
constexpr int kShellStartFailure = -2147221504;

// Starts the program and waits for its end, letting pending events run
// between polls of 100 ms; returns its exit code. A program that cannot be
// started gives kShellStartFailure + an error code (2: not found, 13: not
// executable, otherwise 100 + the process error); one that was killed by a
// signal gives -1. windowStyle (0-6, else 6) has no meaning here and is only
// checked for its range. Output of the program goes to ours.
int ShellWait(const QString& program, const QStringList& args, int windowStyle = 6);

// The path exists and is a directory.
bool IsDirectory(const QString& path);
// The path exists and is not a directory.
bool IsFileExist(const QString& path);

// The path with sep appended unless it already ends with it; an empty path
// stays empty.
QString AddPathSep(const QString& path, const QString& sep);

} // namespace tolva
