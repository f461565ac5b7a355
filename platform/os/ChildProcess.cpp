#include "ChildProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

ChildProcess::ChildProcess(QObject* parent)
    : QProcess(parent)
    , m_parentPid(qint64(::getpid()))
{
}

void ChildProcess::killGroup(qint64 pid)
{
    if (pid <= 0)
        return;
    ::kill(-pid_t(pid), SIGKILL);
    // A tool killed between its start and its own setpgid is not yet the leader of a group.
    ::kill(pid_t(pid), SIGKILL);
}

void ChildProcess::sweepGroup(qint64 pid)
{
    // The group alone: the leader's own pid may already belong to another process.
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
}

void ChildProcess::setupChildProcess()
{
    // Runs in the new process between fork and exec: system calls only.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above took effect.
    if (qint64(::getppid()) != m_parentPid)
        ::_exit(127);
}
