#include "RunningTools.h"

#include <QCoreApplication>
#include <QThread>

#include "ChildProcess.h"

RunningTools* RunningTools::instance()
{
    static RunningTools registry;
    return &registry;
}

RunningTools::RunningTools()
    : QObject(nullptr)
{
    // The first call may come from a worker; the engines' connections belong to the GUI thread.
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
}

void RunningTools::endAll()
{
    RunningTools* registry = instance();
    emit registry->sig_endAll();
    registry->killRemaining();
}

void RunningTools::add(qint64 pid)
{
    if (pid <= 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pids.insert(pid);
}

void RunningTools::remove(qint64 pid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_pids.find(pid);
    if (found != m_pids.end())
        m_pids.erase(found);
}

int RunningTools::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_pids.size());
}

void RunningTools::killRemaining()
{
    // The owners take their entries out when they see their process end.
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const qint64 pid : m_pids)
        ChildProcess::killGroup(pid);
}
