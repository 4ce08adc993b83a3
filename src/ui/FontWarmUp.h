#pragma once

#include <thread>

namespace tolva {

// Reads the system's font configuration on a thread of its own while the
// program starts. Reading it (a few dozen XML files and the font caches) is
// the largest single step before the first text can be laid out; done beside
// opening the database, the window finds it read. wait() returns once it is;
// the window's first text comes after it, so that the configuration is read
// once, not once on each thread.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    void wait();

private:
    std::thread m_thread;
};

} // namespace tolva
