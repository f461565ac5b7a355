#include "ThreadPool.h"

std::unique_ptr<ThreadPool>& ThreadPool::instance()
{
    static std::unique_ptr<ThreadPool> pool;
    if (!pool)
        pool.reset(new ThreadPool(nullptr));
    return pool;
}

int ThreadPool::workerCountFor(int hardwareThreads)
{
    return hardwareThreads >= 8 ? hardwareThreads / 2 : 3;
}

ThreadPool::ThreadPool(QObject* parent)
    : QObject(parent)
{
}

ThreadPool::~ThreadPool() = default;

void ThreadPool::start(int n)
{
    m_running = true;
    for (int i = 0; i < n; ++i)
        m_threads.push_back(std::make_unique<std::thread>(&ThreadPool::workerLoop, this));
}

void ThreadPool::pushTask(const std::shared_ptr<BaseTask>& task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(task);
    }
    m_condition.notify_one();
}

void ThreadPool::stop()
{
    std::list<std::shared_ptr<BaseTask>> running;
    {
        // Cleared under the mutex so that a worker between its test and its wait cannot miss it.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
        running = m_runningTasks;
    }
    m_condition.notify_all();
    // A running page range would hold its worker for minutes; it ends its tool and returns instead.
    for (const auto& task : running)
        task->cancel();
    running.clear();
    for (auto& thread : m_threads) {
        if (thread->joinable())
            thread->join();
    }
    m_threads.clear();
}

void ThreadPool::runTask(const std::shared_ptr<BaseTask>& task)
{
    try {
        task->run();
    } catch (...) {
        forgetRunning(task);
        throw;
    }
    forgetRunning(task);
}

void ThreadPool::forgetRunning(const std::shared_ptr<BaseTask>& task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_runningTasks.remove(task);
}

int ThreadPool::pendingTaskCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_tasks.size());
}

void ThreadPool::workerLoop()
{
    for (;;) {
        try {
            std::shared_ptr<BaseTask> task;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_condition.wait(lock, [this] { return !m_running || !m_tasks.empty(); });
                if (!m_running)
                    return;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
                m_runningTasks.push_back(task);
            }
            runTask(task);
        } catch (...) {
            // A failing task must not end its worker; its owner learns only what it emitted.
        }
    }
}
