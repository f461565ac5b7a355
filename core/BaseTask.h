#pragma once

#include <QObject>

// One unit of work for the worker pool. Never owned by a Qt parent: shared pointers decide its life.
class BaseTask : public QObject
{
    Q_OBJECT
public:
    explicit BaseTask(QObject* parent = nullptr);

    virtual void run();
    // Asks a running (or still waiting) task to end at once: a task that runs a tool kills it and
    // returns. Called from another thread than the one in run(); the default does nothing.
    virtual void cancel();

signals:
    void signalTaskFinished();
};
