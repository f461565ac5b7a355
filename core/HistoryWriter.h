#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <QString>

#include "HistoryChange.h"

// Writes the window's history changes into their history file on a thread of its own, so that
// sending a file off or emptying a kind never waits for a long history to be read and written, nor
// for another program that holds the history's lock. Changes wait in the order they came; those for
// one file go into one write together. While another program holds the lock they keep waiting, and
// the writer tries again after a short pause, growing up to a few tenths of a second. A change the
// file cannot take (unreadable, not a history object, a kind's member not a list, a failed write) is
// given up with a log line that names the reason and how many entries. One per process; at its end it
// waits a bounded time for the lock, then logs what it could not write.
class HistoryWriter
{
public:
    static HistoryWriter& instance();
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // An entry for a file sent off, in "history.json".
    void append(int kind, const QString& date, const QString& inFilePath, const QString& outFilePath);
    // The latest entry of `inFilePath` that names `from` as its output names `to` instead: the result
    // went to another name than the one it was sent off with.
    void replaceOutput(int kind, const QString& inFilePath, const QString& from, const QString& to);
    // Empties the kind's entries of `fileName`, after the changes handed in before.
    void clear(const QString& fileName, int kind);

    // Waits until everything handed in so far is written (or given up), at most `waitMs`; false when
    // that time passed first.
    bool flush(int waitMs = kFlushWaitMs);
    // The changes for `fileName` not written yet, in order. Called by a reader at the steady moment
    // of HistoryFile::readKey.
    std::vector<HistoryChange> waiting(const QString& fileName);

    static constexpr int kFlushWaitMs = 30000;
    // How long the program's end waits for another program's lock before the rest is given up.
    static constexpr int kEndWaitMs = 3000;
    // Pauses between tries while another program holds the lock.
    static constexpr int kFirstPauseMs = 10;
    static constexpr int kLongestPauseMs = 250;

private:
    HistoryWriter() = default;
    void hand(HistoryChange change);
    void run();
    // Writes `batch`, the first changes waiting, and drops them from the waiting list; false (and
    // nothing dropped) while another program holds the lock.
    bool write(const std::vector<HistoryChange>& batch);
    // The first changes waiting that are for one file.
    std::vector<HistoryChange> nextBatch() const;
    // Drops everything still waiting, with its log lines: the program ends and the lock stays held.
    void giveUp(std::unique_lock<std::mutex>& guard);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<HistoryChange> m_pending;
    bool m_writing = false;
    bool m_ending = false;
    std::chrono::steady_clock::time_point m_endBy;
    std::thread m_thread;
};
