#include "HistoryWriter.h"

#include <algorithm>

#include <json/value.h>

#include <QFileInfo>
#include <QStringList>
#include <QVector>

#include "HistoryFile.h"
#include "Kind.h"
#include "Tool.h"

namespace
{
const char* const kHistoryFile = "history.json";

// The log lines of the changes of one write that did not reach the file: every emptied kind its own,
// the entries one line per reason with their number.
class Losses
{
public:
    void clearFailed(const QStringList& lines) { m_clearLines += lines; }
    void entriesLost(const QString& reason, int count)
    {
        if (count < 1)
            return;
        if (!m_reasons.contains(reason)) {
            m_reasons.append(reason);
            m_counts.append(0);
        }
        m_counts[m_reasons.indexOf(reason)] += count;
    }
    // Every change of `changes` is lost for `reason`; `clearLines` are the lines of each emptied kind.
    void allLost(const std::vector<HistoryChange>& changes, const QString& reason,
                 const QStringList& clearLines)
    {
        for (const HistoryChange& change : changes) {
            if (change.type() == HistoryChange::Type::Clear)
                clearFailed(clearLines);
            else if (change.type() == HistoryChange::Type::Entry)
                entriesLost(reason, 1);
        }
    }
    void log() const
    {
        for (const QString& line : m_clearLines)
            Tool::writeLog(line);
        for (int i = 0; i < m_reasons.size(); ++i)
            Tool::writeLog(QString("history json fail: %1 entries not written: %2")
                               .arg(m_counts.value(i))
                               .arg(m_reasons.at(i)));
    }

private:
    QStringList m_clearLines;
    QStringList m_reasons;
    QVector<int> m_counts;
};
} // namespace

HistoryWriter& HistoryWriter::instance()
{
    static HistoryWriter writer;
    return writer;
}

HistoryWriter::~HistoryWriter()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_ending = true;
        m_endBy = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndWaitMs);
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void HistoryWriter::append(int kind, const QString& date, const QString& inFilePath,
                           const QString& outFilePath)
{
    const QString key = Kind::historyKey(kind);
    if (!key.isEmpty())
        hand(HistoryChange::entry(kHistoryFile, key, date, inFilePath, outFilePath));
}

void HistoryWriter::replaceOutput(int kind, const QString& inFilePath, const QString& from, const QString& to)
{
    const QString key = Kind::historyKey(kind);
    if (!key.isEmpty())
        hand(HistoryChange::rename(kHistoryFile, key, inFilePath, from, to));
}

void HistoryWriter::clear(const QString& fileName, int kind)
{
    hand(HistoryChange::clear(fileName, Kind::historyKey(kind)));
}

void HistoryWriter::hand(HistoryChange change)
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_pending.push_back(std::move(change));
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_changed.notify_all();
}

bool HistoryWriter::flush(int waitMs)
{
    std::unique_lock<std::mutex> guard(m_mutex);
    return m_changed.wait_for(guard, std::chrono::milliseconds(waitMs),
                              [this] { return m_pending.empty() && !m_writing; });
}

std::vector<HistoryChange> HistoryWriter::waiting(const QString& fileName)
{
    const QString file = QFileInfo(fileName).absoluteFilePath();
    std::vector<HistoryChange> changes;
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const HistoryChange& change : m_pending) {
        if (change.file() == file)
            changes.push_back(change);
    }
    return changes;
}

std::vector<HistoryChange> HistoryWriter::nextBatch() const
{
    std::vector<HistoryChange> batch;
    for (const HistoryChange& change : m_pending) {
        if (change.file() != m_pending.front().file())
            break;
        batch.push_back(change);
    }
    return batch;
}

void HistoryWriter::run()
{
    std::unique_lock<std::mutex> guard(m_mutex);
    int pauseMs = kFirstPauseMs;
    for (;;) {
        m_changed.wait(guard, [this] { return !m_pending.empty() || m_ending; });
        if (m_pending.empty())
            return; // ending, and nothing is left to write
        const std::vector<HistoryChange> batch = nextBatch();
        m_writing = true;
        guard.unlock();
        const bool done = write(batch);
        guard.lock();
        m_writing = false;
        m_changed.notify_all();
        if (done) {
            pauseMs = kFirstPauseMs;
            continue;
        }
        if (m_ending && std::chrono::steady_clock::now() >= m_endBy) {
            giveUp(guard);
            return;
        }
        // Another program holds the lock: try again after a pause, or at once when more comes in.
        m_changed.wait_for(guard, std::chrono::milliseconds(pauseMs));
        pauseMs = std::min(pauseMs * 2, kLongestPauseMs);
    }
}

bool HistoryWriter::write(const std::vector<HistoryChange>& batch)
{
    Losses losses;
    int applied = 0; // entries
    bool changed = false;
    const auto change = [&](Json::Value& root, const HistoryFile::Loaded& loaded) {
        if (!loaded.opened) {
            losses.allLost(batch, "can not open file",
                           {"parsing history json fail: can not open file",
                            "parsing history json fail: " + loaded.errorText});
            return false;
        }
        if (!loaded.parsed) {
            // Whatever the reader left is at best a part of the file: writing it back would throw
            // away the other kinds' entries.
            losses.allLost(batch, loaded.errorText, {"parsing history json fail: " + loaded.errorText});
            return false;
        }
        for (const HistoryChange& each : batch) {
            const QString refusal = each.refusal(root);
            if (refusal.isEmpty()) {
                each.applyTo(root);
                applied += each.type() == HistoryChange::Type::Entry ? 1 : 0;
                changed = true;
            } else if (each.type() == HistoryChange::Type::Clear) {
                losses.clearFailed({"parsing history json fail: " + refusal});
            } else if (each.type() == HistoryChange::Type::Entry) {
                losses.entriesLost(refusal, 1);
            }
        }
        return changed;
    };
    // Dropped from the waiting list in the same moment the file takes them, so that a reader sees
    // each change once: in the file or waiting.
    const auto settled = [this, &batch](HistoryFile::Outcome) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(batch.size()));
    };
    const HistoryFile::Outcome outcome = HistoryFile::change(batch.front().file(), 0, change, settled);
    if (outcome == HistoryFile::Outcome::Busy)
        return false;
    if (outcome == HistoryFile::Outcome::NoLock)
        losses.allLost(batch, "cannot lock " + HistoryFile::lockPath(), {"clear history json file fail"});
    if (outcome == HistoryFile::Outcome::WriteFailed) {
        for (const HistoryChange& each : batch) {
            if (each.type() == HistoryChange::Type::Clear)
                losses.clearFailed({"clear history json file fail"});
        }
        losses.entriesLost("can not write file", applied);
    }
    losses.log();
    return true;
}

void HistoryWriter::giveUp(std::unique_lock<std::mutex>& guard)
{
    std::vector<HistoryChange> left;
    left.swap(m_pending);
    m_changed.notify_all();
    guard.unlock();
    Losses losses;
    losses.allLost(left, "history.lock is held by another program", {"clear history json file fail"});
    losses.log();
    guard.lock();
}
