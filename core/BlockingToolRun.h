#pragma once

#include <mutex>

#include <QByteArray>
#include <QString>

class ToolCommand;

// Tool runs waited for on the calling thread (a pool worker, which has no event loop), that any
// other thread can end at once. Each tool leads its own process group and is registered with
// RunningTools while it runs. After cancel() the running tool is killed and no later run starts.
class BlockingToolRun
{
public:
    enum class End { Exited, FailedToStart, Crashed, TimedOut, Cancelled };

    struct Result {
        End end = End::FailedToStart;
        int exitCode = 0;
        qint64 pid = 0;        // the tool's process id (its temporary files may be named after it)
        QString errorString;   // why the start failed
        QByteArray errorText;  // what the tool wrote on its error stream
        QByteArray outputText; // what the tool wrote on its output stream
    };

    BlockingToolRun() = default;
    BlockingToolRun(const BlockingToolRun&) = delete;
    BlockingToolRun& operator=(const BlockingToolRun&) = delete;

    // Runs the command to its end, or until timeoutMs has passed (the tool is then killed), or until
    // cancel() is called.
    Result run(const ToolCommand& command, int timeoutMs);

    // Any thread: kills the running tool with its group; every later run ends at once as Cancelled.
    void cancel();
    bool isCancelled() const;
    // Writes `text` to the log unless cancel() came first. A cancel waits for a line under way, so
    // nothing of these runs is logged after what the canceller logs once it has cancelled.
    void logUnlessCancelled(const QString& text);

private:
    mutable std::mutex m_mutex;
    qint64 m_pid = 0;
    bool m_cancelled = false;
};
