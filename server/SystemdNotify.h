#pragma once

#include <QByteArray>

namespace memberd {

// Tells the service manager about the service's state ("READY=1",
// "STOPPING=1") on the datagram socket named by NOTIFY_SOCKET, as a unit of
// Type=notify expects; nothing when that variable is not set. False when the
// message could not be sent.
bool notifyServiceManager(const QByteArray& state);

} // namespace memberd
