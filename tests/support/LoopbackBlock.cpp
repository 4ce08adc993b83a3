#include "support/LoopbackBlock.h"

#include <QStringList>
#include <QtGlobal>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int kBlocks = 254;

// Tries the blocks starting at one chosen by the process id, so that
// programs started together rarely try the same file first. The descriptor
// of the claimed block stays open on purpose: the lock lasts as long as the
// process. O_CLOEXEC keeps the processes a test starts from holding it on.
int claim() {
    const int start = static_cast<int>(::getpid() % kBlocks);
    for (int i = 0; i < kBlocks; ++i) {
        const int block = (start + i) % kBlocks + 1;
        const QByteArray path = "/tmp/tolva-loopback-" + QByteArray::number(block) + ".lock";
        const int fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0)
            continue; // another user's file we may not read: that block is theirs
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return block;
        ::close(fd);
    }
    qFatal("no free loopback block: all of /tmp/tolva-loopback-1..254.lock are held");
}

} // namespace

namespace LoopbackBlock {

int number() {
    // One claim per process, by design: every address the process names
    // must land in the same block.
    static const int block = claim();
    return block;
}

QString own(const QString& address) {
    QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4 || parts.at(0) != QLatin1String("127") || parts.at(1) != QLatin1String("0"))
        return address;
    parts[1] = QString::number(number());
    return parts.join(QLatin1Char('.'));
}

} // namespace LoopbackBlock
