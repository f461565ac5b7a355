#pragma once

#include <QProcess>

// A QProcess whose program leads a process group of its own, so that a tool and every program it
// starts in turn (LibreOffice under the document tool, for instance) can be ended together, and
// which dies with this program. Windows gets the same from a job object that kills its processes
// when its last handle closes; here it is a process group and the parent-death signal.
class ChildProcess : public QProcess
{
    Q_OBJECT
public:
    explicit ChildProcess(QObject* parent = nullptr);

    // Ends the tool `pid` and its whole group at once (SIGKILL). Safe from any thread, for a process
    // that has not yet been waited for; does nothing for a pid of 0 or less.
    static void killGroup(qint64 pid);
    // Ends what is left of the group of a tool that has ended and been waited for: programs it
    // started and left behind.
    static void sweepGroup(qint64 pid);

protected:
    void setupChildProcess() override;

private:
    qint64 m_parentPid;
};
