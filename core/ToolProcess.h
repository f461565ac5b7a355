#pragma once

#include <optional>

#include <QObject>
#include <QProcess>

class QTimer;
class ToolCommand;

// One supervised run of an outside tool. It starts a ToolCommand on a process of its own, bounds the
// run by a total time limit and, optionally, by a silence limit that starts again whenever the tool
// writes output, kills the tool when a bound is passed, and ends exactly once with `ended`. Output is
// left in the process for the owner to read. The process is a child: a tool still running when the
// guard goes is killed with it, and nobody is told.
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

    explicit ToolProcess(QObject* parent);

    // Limits in milliseconds, taken at start; 0 (the default) leaves that bound off.
    void setTimeLimit(int msecs);
    void setSilenceLimit(int msecs);

    void start(const ToolCommand& command);
    QProcess* process() const { return m_process; }

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

    QProcess* m_process;
    QTimer* m_timeLimit;
    QTimer* m_silenceLimit;
    std::optional<End> m_stoppedFor; // set when a bound has passed and the tool was killed
    bool m_ended;
};
