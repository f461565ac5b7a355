#pragma once

#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include <QObject>

#include "BaseTask.h"

// The program's one pool of worker threads. Tasks run in the order pushed, at most one per worker.
class ThreadPool : public QObject
{
    Q_OBJECT
public:
    static std::unique_ptr<ThreadPool>& instance();

    // Half the hardware threads when there are 8 or more, else 3.
    static int workerCountFor(int hardwareThreads);

    explicit ThreadPool(QObject* parent = nullptr);
    ~ThreadPool() override;

    void start(int n);
    void pushTask(const std::shared_ptr<BaseTask>& task);
    // Clears the running flag, asks every running task to end at once (BaseTask::cancel) and joins
    // the workers; waiting tasks are dropped.
    void stop();

    // Tasks still waiting in the list (after stop, those that were dropped).
    int pendingTaskCount();

private:
    void workerLoop();
    void runTask(const std::shared_ptr<BaseTask>& task);
    void forgetRunning(const std::shared_ptr<BaseTask>& task);

    std::list<std::shared_ptr<BaseTask>> m_tasks;
    std::atomic<bool> m_running{false};
    std::condition_variable m_condition;
    std::mutex m_mutex;
    std::list<std::unique_ptr<std::thread>> m_threads;
    std::list<std::shared_ptr<BaseTask>> m_runningTasks; // guarded by m_mutex
};
