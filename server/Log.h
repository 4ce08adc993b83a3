#pragma once

#include <QString>

namespace memberd {

// memberd's log: one line per event on standard error, in the form journald
// keeps ("<N>" priority prefix first, N as in syslog). Control characters in
// the text are written as \xNN, so no line can be split or forged, and the
// values of Password= and PWD= in connection strings are masked.
enum class LogLevel { Error = 3, Warning = 4, Notice = 5, Info = 6 };

void writeLog(LogLevel level, const QString& text);

// Control characters (and the backslash) as escapes; the rest as it is.
QString escapeControls(const QString& text);
// Every "Password=..." and "PWD=..." value (up to the next ";") as "***".
QString maskSecrets(const QString& text);

} // namespace memberd
