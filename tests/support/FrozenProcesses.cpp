#include "FrozenProcesses.h"

#include <csignal>

#include "TestEnv.h"

namespace
{
// The ids of the live processes whose arguments mention both texts.
QList<qint64> processesWith(const QString& text, const QString& also)
{
    QList<qint64> pids;
    for (const QString& line : TestEnv::processesMentioning(text)) {
        if (also.isEmpty() || line.section(':', 1).contains(also))
            pids << line.section(':', 0, 0).toLongLong();
    }
    return pids;
}
} // namespace

FrozenProcesses::FrozenProcesses(const QString& text, const QString& also)
    : m_text(text)
    , m_also(also)
{
}

FrozenProcesses::~FrozenProcesses()
{
    kill();
}

int FrozenProcesses::hold()
{
    for (const qint64 pid : processesWith(m_text, m_also)) {
        if (!m_pids.contains(pid) && ::kill(pid_t(pid), SIGSTOP) == 0)
            m_pids << pid;
    }
    return m_pids.size();
}

void FrozenProcesses::release()
{
    const QList<qint64> live = processesWith(m_text, m_also);
    for (const qint64 pid : m_pids) {
        if (live.contains(pid))
            ::kill(pid_t(pid), SIGCONT);
    }
    m_pids.clear();
}

void FrozenProcesses::kill()
{
    // Only those that still carry the same arguments: an ended one's pid may belong to another now.
    const QList<qint64> live = processesWith(m_text, m_also);
    for (const qint64 pid : m_pids) {
        if (live.contains(pid))
            ::kill(pid_t(pid), SIGKILL);
    }
    m_pids.clear();
}
