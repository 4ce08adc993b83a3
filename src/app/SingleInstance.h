#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace tolva {

// One running copy per user and program: a lock file in the user's runtime
// folder ($XDG_RUNTIME_DIR, else the temp folder), held for the life of the
// process. A lock left by a copy that died is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& programName);
    // False when another copy of this user holds the lock.
    bool acquire();
    QString lockPath() const { return m_path; }
    // The local socket beside the lock through which a second start passes
    // its hand-off to the running copy.
    QString channelName() const;

    static QString runtimeFolder();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace tolva
