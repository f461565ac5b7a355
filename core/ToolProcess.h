#pragma once

#include <optional>

#include <QObject>
#include <QProcess>

class ChildProcess;
class QTimer;
class ToolCommand;

// One supervised run of an outside tool. It starts a ToolCommand on a process of its own (the leader
// of its own process group, registered with RunningTools while it runs), bounds the run by a total
// time limit and, optionally, by a silence limit that starts again whenever the tool writes output,
// kills the tool when a bound is passed, and ends exactly once with `ended`. Output is left in the
// process for the owner to read. cancel() and the destructor end the tool and everything it started
// at once, and nobody is told.
class ToolProcess : public QObject
{
    Q_OBJECT
public:
    enum class End {
        Exited,        // the tool ended by itself; exitCode is its exit code
        FailedToStart, // the program could not be started (process()->errorString() says why)
        Crashed,       // the tool died of a signal that was not ours
        TimedOut,      // the total time limit passed and the tool was killed
        Silent,        // the tool wrote nothing for the silence limit and was killed
    };
    Q_ENUM(End)

    // How long anyone waits for a tool that has been killed (SIGKILL) to be gone, in milliseconds: the
    // one figure for the engines, the pool's tasks and the tools' own children. A killed process is
    // gone within milliseconds; the bound only matters for a process stuck in the kernel.
    static constexpr int kKilledWaitMs = 3000;

    explicit ToolProcess(QObject* parent);
    ~ToolProcess() override;

    // Limits in milliseconds, taken at start; 0 (the default) leaves that bound off.
    void setTimeLimit(int msecs);
    void setSilenceLimit(int msecs);

    void start(const ToolCommand& command);
    QProcess* process() const;

    // Ends a running tool and its whole process group now, without `ended`; returns once the process
    // is gone (bounded by a few seconds), so the caller may remove what it was writing.
    void cancel();
    // The tool has been started and has not yet ended.
    bool isRunning() const { return m_pid > 0; }
    // Process id of the current or the last run; 0 before the first start and after a failed one.
    qint64 lastPid() const { return m_lastPid; }

    // The plain reason for an end that is a failure: "cannot start <program>", "crashed", "timed out",
    // "went silent" or "exit code <n>"; empty for an exit with code 0.
    QString failure(End end, int exitCode) const;

signals:
    // Sent once per run, after the process has ended; exitCode is 0 unless end is Exited.
    void ended(ToolProcess::End end, int exitCode);

private:
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void stopFor(End end);
    void finish(End end, int exitCode);
    void release();

    ChildProcess* m_process;
    QTimer* m_timeLimit;
    QTimer* m_silenceLimit;
    std::optional<End> m_stoppedFor; // set when a bound has passed and the tool was killed
    bool m_ended;
    qint64 m_pid;     // the running tool, registered with RunningTools; 0 when none runs
    qint64 m_lastPid; // the last tool started, for the names of its temporary files
};
