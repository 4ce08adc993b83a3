#pragma once

#include "common/CodePage.h"

#include <QString>

namespace tolva {

// Reads one key of a private-profile (INI) file: "[section]" lines and
// "key=value" lines, section and key names compared without letter case. The
// value is the raw text after the first "=", cut at 127 bytes and decoded from
// the code page. A missing file, section or key gives the empty text.
QString getINIValue(const CodePage& codePage, const QString& file, const QString& section,
                    const QString& key);

} // namespace tolva
