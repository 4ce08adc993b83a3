#pragma once

#include <QString>

namespace tolva {

class AppContext;

// Loads the station's POS settings at start: store id, station id, report
// logo, the business date kept in the database, the customer display port,
// the hand-off retry window (ZEL [SYS] HandOffRetryMinutes, default 10) and
// how long a posting's result stays up (ZEL [SYS] ResultSeconds, default 2).
void InitZEL(AppContext& ctx);

// The device file of a port name: COM1-COM9 -> /dev/ttyS0-8, LPT1-LPT9 ->
// /dev/lp0-8; empty for any other name.
QString portDevice(const QString& portName);

// Whether the port (a name beginning with LPT or COM, any letter case) can be
// opened for reading and writing.
bool CheckPort(const QString& portName);

// Sets COM1-COM5 to 9600 baud, no parity, 8 data bits, 1 stop bit.
bool ResetComPort(AppContext& ctx, const QString& portName);

} // namespace tolva
