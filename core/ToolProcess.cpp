#include "ToolProcess.h"

#include <QTimer>

#include "ChildProcess.h"
#include "RunningTools.h"
#include "ToolCommand.h"

ToolProcess::ToolProcess(QObject* parent)
    : QObject(parent)
    , m_process(new ChildProcess(this))
    , m_timeLimit(new QTimer(this))
    , m_silenceLimit(new QTimer(this))
    , m_ended(false)
    , m_pid(0)
    , m_lastPid(0)
{
    m_timeLimit->setSingleShot(true);
    m_silenceLimit->setSingleShot(true);
    connect(m_timeLimit, &QTimer::timeout, this, [this] { stopFor(End::TimedOut); });
    connect(m_silenceLimit, &QTimer::timeout, this, [this] { stopFor(End::Silent); });

    // Connected before any reader, so the silence bound restarts before the owner reads the output.
    const auto heard = [this] {
        if (m_silenceLimit->isActive())
            m_silenceLimit->start();
    };
    connect(m_process, &QProcess::readyReadStandardOutput, this, heard);
    connect(m_process, &QProcess::readyReadStandardError, this, heard);
    connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &ToolProcess::onFinished);
    // A crash ends in finished() too; only a failed start has no finish to wait for.
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(End::FailedToStart, 0);
    });
}

ToolProcess::~ToolProcess()
{
    cancel();
}

QProcess* ToolProcess::process() const
{
    return m_process;
}

void ToolProcess::setTimeLimit(int msecs)
{
    m_timeLimit->setInterval(msecs);
}

void ToolProcess::setSilenceLimit(int msecs)
{
    m_silenceLimit->setInterval(msecs);
}

void ToolProcess::start(const ToolCommand& command)
{
    m_stoppedFor.reset();
    m_ended = false;
    // Started before the tool, so that a start that fails at once stops them again.
    if (m_timeLimit->interval() > 0)
        m_timeLimit->start();
    if (m_silenceLimit->interval() > 0)
        m_silenceLimit->start();
    command.startOn(*m_process);
    m_lastPid = m_process->processId();
    if (m_ended) { // failed at once, already told
        m_lastPid = 0;
        return;
    }
    m_pid = m_lastPid;
    RunningTools::instance()->add(m_pid);
}

void ToolProcess::cancel()
{
    m_ended = true;
    m_timeLimit->stop();
    m_silenceLimit->stop();
    if (m_pid <= 0)
        return;
    ChildProcess::killGroup(m_pid);
    if (m_process->state() != QProcess::NotRunning)
        m_process->waitForFinished(kKilledWaitMs);
    release();
}

QString ToolProcess::failure(End end, int exitCode) const
{
    switch (end) {
    case End::Exited:
        return exitCode == 0 ? QString() : QString("exit code %1").arg(exitCode);
    case End::FailedToStart:
        return "cannot start " + m_process->program();
    case End::Crashed:
        return "crashed";
    case End::TimedOut:
        return "timed out";
    case End::Silent:
        return "went silent";
    }
    return QString();
}

void ToolProcess::onFinished(int exitCode, QProcess::ExitStatus status)
{
    if (m_stoppedFor)
        finish(*m_stoppedFor, 0);
    else if (status == QProcess::CrashExit)
        finish(End::Crashed, 0);
    else
        finish(End::Exited, exitCode);
}

void ToolProcess::stopFor(End end)
{
    if (m_ended || m_stoppedFor)
        return;
    // The end is told when the process is gone, so the owner never races a tool still writing.
    m_stoppedFor = end;
    ChildProcess::killGroup(m_pid);
    m_process->kill();
}

void ToolProcess::finish(End end, int exitCode)
{
    release();
    if (end == End::FailedToStart)
        m_lastPid = 0; // nothing ran under that number, so nothing of it is left to remove
    if (m_ended)
        return;
    m_ended = true;
    m_timeLimit->stop();
    m_silenceLimit->stop();
    emit ended(end, exitCode);
}

void ToolProcess::release()
{
    if (m_pid <= 0)
        return;
    // Whatever the tool started and left behind goes with it.
    if (m_process->state() == QProcess::NotRunning)
        ChildProcess::sweepGroup(m_pid);
    RunningTools::instance()->remove(m_pid);
    m_pid = 0;
}
