#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <QString>

namespace Json
{
class Value;
}

// Writes the window's history entries into "history.json" on a thread of its own, so that sending a
// file off never waits for a long history to be read and written. Entries handed in while a write is
// under way go into the next one together, in the order they came. JsonParsing::readHistory and
// clearHistory first wait for what was handed in. One per process; its end writes what is left.
class HistoryWriter
{
public:
    static HistoryWriter& instance();
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // An entry for a file sent off (JsonParsing::addHistory).
    void append(int kind, const QString& date, const QString& inFilePath, const QString& outFilePath);
    // The latest entry of `inFilePath` that names `from` as its output names `to` instead: the result
    // went to another name than the one it was sent off with.
    void replaceOutput(int kind, const QString& inFilePath, const QString& from, const QString& to);
    // Waits until everything handed in so far is written (or given up), at most `waitMs`; false when
    // that time passed first.
    bool flush(int waitMs = kFlushWaitMs);

    static constexpr int kFlushWaitMs = 30000;

private:
    using Change = std::function<void(Json::Value& root)>;

    HistoryWriter() = default;
    void hand(Change change);
    void run();
    static void write(const std::vector<Change>& changes);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Change> m_pending;
    bool m_writing = false;
    bool m_ending = false;
    std::thread m_thread;
};
