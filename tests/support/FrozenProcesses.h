#pragma once

#include <QList>
#include <QString>

// Holds running tools still (SIGSTOP), so that none of them can finish by itself: whatever ends them
// is the code under test, however fast or slow the machine is; or a run lasts until the test lets
// it go on. It holds the live processes whose argument lists mention `text` (and `also`, when
// given); those of them still held when it goes are killed, so that a failed test leaves nothing
// stopped behind.
class FrozenProcesses
{
public:
    explicit FrozenProcesses(const QString& text, const QString& also = QString());
    ~FrozenProcesses();
    FrozenProcesses(const FrozenProcesses&) = delete;
    FrozenProcesses& operator=(const FrozenProcesses&) = delete;

    // Holds every such process that runs now and is not held yet; returns how many are held in all.
    // Safe to call again and again, as in a QTRY condition.
    int hold();
    int count() const { return m_pids.size(); }
    // Lets every held process go on (SIGCONT) and holds none any more.
    void release();
    // Kills every held process that is still alive and holds none any more.
    void kill();

private:
    QString m_text;
    QString m_also;
    QList<qint64> m_pids;
};
