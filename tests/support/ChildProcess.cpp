#include "support/ChildProcess.h"

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

void endWithTestProcess(QProcess& process) {
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec. The death signal follows the
    // thread that forked, which is the test's main thread. When the test
    // died before the signal was set, the child is already an orphan and
    // ends itself.
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
}
