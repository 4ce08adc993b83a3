#pragma once

#include <QString>

// Loopback addresses that belong to one test process alone.
//
// Tests name the addresses they listen on (memberd, a relay, a silent
// service on the desk's port 3501) as 127.0.x.y. The first use claims a block
// number B from 1 to 254 for the whole process: the lock file
// /tmp/tolva-loopback-B.lock, locked with flock and kept open until the
// process ends (the kernel lets go of it however the process ends, a crash
// included). Each 127.0.x.y is then moved to 127.B.x.y, which Linux routes to
// the loopback interface like any 127/8 address. Two test programs running
// side by side (ctest -j) therefore never listen on the same address,
// whatever addresses their sources name, and the desk keeps its fixed port.
namespace LoopbackBlock {

// This process's block (1-254), claimed on first use.
int number();

// A 127.0.x.y address moved into this process's block; any other address
// (one already moved, among others) comes back unchanged, so moving twice is
// harmless.
QString own(const QString& address);

} // namespace LoopbackBlock
