#pragma once

#include <QString>

namespace memberd {

// memberd --add-store ID --store-passwords FILE: reads the store's password
// from standard input (asked twice and not echoed on a terminal, else the
// first line), checks that the code page carries it, and sets the store's
// line in the file. The exit code; what went wrong is written to stderr.
int addStore(const QString& file, const QString& store, const QString& codePage);

} // namespace memberd
