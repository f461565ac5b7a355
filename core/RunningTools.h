#pragma once

#include <mutex>
#include <set>

#include <QObject>

// Every tool process the program is running, on the GUI thread and on the pool's workers, and the one
// entry that ends them all at once when the program closes. Every job answers sig_endAll through its
// JobEnding (tools killed, intermediate files removed, no further report); what
// is still registered after that is killed as a whole process group. Thread-safe, except endAll,
// which belongs to the GUI thread.
class RunningTools : public QObject
{
    Q_OBJECT
public:
    static RunningTools* instance();

    // Ends every running tool now: engines first, then any process group still registered.
    static void endAll();

    // A started tool (the leader of its own process group) and its end; any thread.
    void add(qint64 pid);
    void remove(qint64 pid);
    int count() const;

signals:
    // Sent on the GUI thread by endAll; every JobEnding connects it to its cancel.
    void sig_endAll();

private:
    RunningTools();
    void killRemaining();

    mutable std::mutex m_mutex;
    std::multiset<qint64> m_pids;
};
