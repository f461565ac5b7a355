#include "HistoryWriter.h"

#include <chrono>

#include <json/value.h>

#include "JsonParsing.h"
#include "Kind.h"
#include "Tool.h"

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
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void HistoryWriter::append(int kind, const QString& date, const QString& inFilePath,
                           const QString& outFilePath)
{
    const QString key = Kind::historyKey(kind);
    if (key.isEmpty())
        return;
    hand([key, date, inFilePath, outFilePath](Json::Value& root) {
        JsonParsing::appendEntry(root, key, date, inFilePath, outFilePath);
    });
}

void HistoryWriter::replaceOutput(int kind, const QString& inFilePath, const QString& from, const QString& to)
{
    const QString key = Kind::historyKey(kind);
    if (key.isEmpty())
        return;
    hand([key, inFilePath, from, to](Json::Value& root) {
        JsonParsing::replaceOutput(root, key, inFilePath, from, to);
    });
}

void HistoryWriter::hand(Change change)
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

void HistoryWriter::run()
{
    std::unique_lock<std::mutex> guard(m_mutex);
    for (;;) {
        m_changed.wait(guard, [this] { return !m_pending.empty() || m_ending; });
        if (m_pending.empty())
            return; // ending, and nothing is left to write
        std::vector<Change> changes;
        changes.swap(m_pending);
        m_writing = true;
        guard.unlock();
        write(changes);
        guard.lock();
        m_writing = false;
        m_changed.notify_all();
    }
}

void HistoryWriter::write(const std::vector<Change>& changes)
{
    const bool written = JsonParsing::changeHistory([&changes](Json::Value& root) {
        for (const Change& change : changes)
            change(root);
        return true;
    });
    if (!written)
        Tool::writeLog(QString("history json fail: %1 entries not written").arg(changes.size()));
}
