#pragma once

class QProcess;

// Makes the process the given QProcess starts next end with the test process:
// the kernel sends it SIGKILL when the test process dies, however it dies. A
// failed check returns from the test function and the destructors stop what
// the test started, but a crash, an abort or a kill of the test runs no
// destructor, and a memberd left running would hold its address and database
// for the runs after it. Call it before start().
void endWithTestProcess(QProcess& process);
