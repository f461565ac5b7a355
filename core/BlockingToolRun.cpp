#include "BlockingToolRun.h"

#include "ChildProcess.h"
#include "RunningTools.h"
#include "Tool.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

BlockingToolRun::Result BlockingToolRun::run(const ToolCommand& command, int timeoutMs)
{
    Result result;
    ChildProcess process;
    qint64 pid = 0;
    {
        // Started under the lock, so that a cancel either sees this tool or comes before its start.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled) {
            result.end = End::Cancelled;
            return result;
        }
        command.startOn(process);
        pid = process.processId();
        m_pid = pid;
    }
    RunningTools::instance()->add(pid);
    result.pid = pid;

    const bool started = process.waitForStarted(timeoutMs);
    bool timedOut = false;
    if (started && !process.waitForFinished(timeoutMs) && process.state() != QProcess::NotRunning) {
        timedOut = true;
        ChildProcess::killGroup(pid);
        process.waitForFinished(ToolProcess::kKilledWaitMs);
    }

    bool cancelled = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pid = 0;
        cancelled = m_cancelled;
    }
    if (process.state() == QProcess::NotRunning)
        ChildProcess::sweepGroup(pid);
    RunningTools::instance()->remove(pid);

    if (cancelled) {
        result.end = End::Cancelled;
    } else if (!started) {
        result.end = End::FailedToStart;
        result.errorString = process.errorString();
    } else if (timedOut) {
        result.end = End::TimedOut;
    } else if (process.exitStatus() != QProcess::NormalExit) {
        result.end = End::Crashed;
    } else {
        result.end = End::Exited;
        result.exitCode = process.exitCode();
    }
    if (started) {
        result.errorText = process.readAllStandardError();
        result.outputText = process.readAllStandardOutput();
    }
    return result;
}

void BlockingToolRun::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    ChildProcess::killGroup(m_pid);
}

bool BlockingToolRun::isCancelled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

void BlockingToolRun::logUnlessCancelled(const QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_cancelled)
        Tool::writeLog(text);
}
