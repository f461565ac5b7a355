#pragma once

#include <QObject>

// One unit of work for the worker pool. Never owned by a Qt parent: shared pointers decide its life.
class BaseTask : public QObject
{
    Q_OBJECT
public:
    explicit BaseTask(QObject* parent = nullptr);

    virtual void run();

signals:
    void signalTaskFinished();
};
