#pragma once

#include <QString>

namespace tolva {

// The station's program folder: where the desk keeps its INI, log and error
// files and, by default, its embedded database. Run from a build folder (or
// any folder it was copied to) that is the folder of the program file itself.
// An installed desk's program file lies in a system folder the operator
// cannot write, so its launcher names the station's own folder in the
// environment variable TOLVA_HOME.
QString programFolder();

// The rule behind programFolder(): `home` when it is not empty, made absolute
// against the current directory (start-up changes into the folder, so a
// relative name must not be resolved twice), else `programFileDir`.
QString programFolder(const QString& home, const QString& programFileDir);

} // namespace tolva
