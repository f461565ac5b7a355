#pragma once

#include <QString>

// An exclusive lock held between programs and between threads: flock on a file kept for the purpose.
// Taken by the constructor, waiting a bounded time for another holder (no wait: one try), and given
// back by the destructor; the system gives it back too when its holder dies, so a killed program never
// leaves a lock behind. Any thread, never the window's for long.
class FileLock
{
public:
    // How long the constructor waits for another holder, in milliseconds.
    static constexpr int kWaitMs = 20000;

    explicit FileLock(const QString& path, int waitMs = kWaitMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return m_fd >= 0; }
    // Not taken because another holder kept it for the whole wait (rather than a lock file that
    // could not be opened).
    bool isBusy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_busy = false;
};
