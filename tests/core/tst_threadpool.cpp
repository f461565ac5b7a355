#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <QtTest>

#include "BaseTask.h"
#include "BlockingToolRun.h"
#include "RunningTools.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "ToolCommand.h"

namespace
{
// Records the order tasks start in and how many run at once; each holds its worker until released.
struct Recorder {
    std::mutex mutex;
    std::vector<int> started;
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<int> finished{0};
    std::atomic<bool> release{false};
    std::atomic<bool> cancelled{false}; // the pool has asked a running task to end
};

class RecordingTask : public BaseTask
{
public:
    RecordingTask(int id, Recorder& recorder, std::atomic<int>* destroyed = nullptr)
        : m_id(id)
        , m_recorder(recorder)
        , m_destroyed(destroyed)
    {
    }
    ~RecordingTask() override
    {
        if (m_destroyed)
            ++*m_destroyed;
    }
    void run() override
    {
        {
            std::lock_guard<std::mutex> lock(m_recorder.mutex);
            m_recorder.started.push_back(m_id);
        }
        const int now = ++m_recorder.running;
        int seen = m_recorder.maxRunning;
        while (now > seen && !m_recorder.maxRunning.compare_exchange_weak(seen, now)) {
        }
        while (!m_recorder.release)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        --m_recorder.running;
        ++m_recorder.finished;
        emit signalTaskFinished();
    }
    // Holds on all the same: the pool must wait for it.
    void cancel() override { m_recorder.cancelled = true; }

private:
    int m_id;
    Recorder& m_recorder;
    std::atomic<int>* m_destroyed;
};

class ThrowingTask : public BaseTask
{
public:
    void run() override { throw std::runtime_error("task failed"); }
};

// A task that runs one long tool, the way a page range does, and ends it when cancelled.
class ToolTask : public BaseTask
{
public:
    explicit ToolTask(const QString& program)
        : m_program(program)
    {
    }
    void run() override
    {
        const BlockingToolRun::Result result = m_run.run(ToolCommand(m_program, {"60"}, "sleep 60"), 120000);
        m_pid = result.pid;
        m_end = result.end;
    }
    void cancel() override { m_run.cancel(); }
    BlockingToolRun::End end() const { return m_end; }
    qint64 pid() const { return m_pid; }

private:
    QString m_program;
    BlockingToolRun m_run;
    std::atomic<BlockingToolRun::End> m_end{BlockingToolRun::End::FailedToStart};
    std::atomic<qint64> m_pid{0};
};

// Waits for what another thread does, up to a bound far above what a slow and busy machine needs.
bool waitFor(const std::function<bool()>& condition, int ms = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
} // namespace

class TestThreadPool : public QObject
{
    Q_OBJECT

private slots:
    void instanceIsOnePool();
    void runsInOrderAtMostNAtOnce();
    void throwingTaskDoesNotEndItsWorker();
    void stopDropsWaitingTasksAndWaitsForRunningOne();
    void stopOnIdlePoolIsPrompt();
    void stopEndsRunningToolTasksAtOnce();
    void taskHeldOnlyByPoolDiesOnWorkerAfterRun();
    void taskPushedBeforeStartWaitsForAWorker();
    void finishedSignalArrivesQueuedOnOwnerThread();
    void workerCount_data();
    void workerCount();
};

void TestThreadPool::instanceIsOnePool()
{
    ThreadPool* first = ThreadPool::instance().get();
    QVERIFY(first);
    QCOMPARE(ThreadPool::instance().get(), first);
}

void TestThreadPool::runsInOrderAtMostNAtOnce()
{
    ThreadPool pool;
    Recorder recorder;
    pool.start(3);
    for (int i = 0; i < 5; ++i)
        pool.pushTask(std::make_shared<RecordingTask>(i, recorder));
    QVERIFY(waitFor([&] { return recorder.running == 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // give a fourth worker a chance to misbehave
    QCOMPARE(recorder.running.load(), 3);
    recorder.release = true;
    QVERIFY(waitFor([&] { return recorder.finished == 5; }));
    pool.stop();
    QCOMPARE(recorder.maxRunning.load(), 3);
    std::vector<int> firstThree(recorder.started.begin(), recorder.started.begin() + 3);
    std::sort(firstThree.begin(), firstThree.end());
    QCOMPARE(firstThree, (std::vector<int>{0, 1, 2}));
    std::vector<int> lastTwo(recorder.started.begin() + 3, recorder.started.end());
    std::sort(lastTwo.begin(), lastTwo.end());
    QCOMPARE(lastTwo, (std::vector<int>{3, 4}));
}

void TestThreadPool::throwingTaskDoesNotEndItsWorker()
{
    ThreadPool pool;
    Recorder recorder;
    recorder.release = true;
    pool.start(1);
    pool.pushTask(std::make_shared<ThrowingTask>());
    pool.pushTask(std::make_shared<RecordingTask>(7, recorder));
    QVERIFY(waitFor([&] { return recorder.finished == 1; }));
    pool.stop();
    QCOMPARE(recorder.started, std::vector<int>{7});
}

void TestThreadPool::stopDropsWaitingTasksAndWaitsForRunningOne()
{
    ThreadPool pool;
    Recorder recorder;
    pool.start(1);
    for (int i = 0; i < 3; ++i)
        pool.pushTask(std::make_shared<RecordingTask>(i, recorder));
    QVERIFY(waitFor([&] { return recorder.running == 1; }));
    // The running task is let go only once stop() has asked it to end, so stop() has begun and
    // must wait for it.
    std::thread releaser([&] {
        waitFor([&] { return recorder.cancelled.load(); });
        recorder.release = true;
    });
    pool.stop();
    releaser.join();
    QCOMPARE(recorder.finished.load(), 1);
    QCOMPARE(recorder.started, std::vector<int>{0});
    QCOMPARE(pool.pendingTaskCount(), 2);
}

void TestThreadPool::stopOnIdlePoolIsPrompt()
{
    // Repeated so that a lost wake-up between a worker's test and its wait would show as a hang.
    for (int round = 0; round < 50; ++round) {
        ThreadPool pool;
        pool.start(4);
        pool.stop();
    }
}

void TestThreadPool::stopEndsRunningToolTasksAtOnce()
{
    VX_REQUIRE_TOOL("sleep");
    ThreadPool pool;
    pool.start(2);
    auto first = std::make_shared<ToolTask>(TestEnv::findTool("sleep"));
    auto second = std::make_shared<ToolTask>(TestEnv::findTool("sleep"));
    pool.pushTask(first);
    pool.pushTask(second);
    QVERIFY(waitFor([] { return RunningTools::instance()->count() == 2; }));

    // stop() on a thread of its own, so that a stop that waited for the tools would show as a hang:
    // they sleep for a minute.
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        pool.stop();
        stopped = true;
    });
    const bool prompt = waitFor([&] { return stopped.load(); });
    stopper.join();
    QVERIFY(prompt);
    QCOMPARE(first->end(), BlockingToolRun::End::Cancelled);
    QCOMPARE(second->end(), BlockingToolRun::End::Cancelled);
    QCOMPARE(RunningTools::instance()->count(), 0);
    QVERIFY(first->pid() > 0 && second->pid() > 0);
    QVERIFY(
        waitFor([&] { return TestEnv::processGone(first->pid()) && TestEnv::processGone(second->pid()); }));
}

void TestThreadPool::taskHeldOnlyByPoolDiesOnWorkerAfterRun()
{
    ThreadPool pool;
    Recorder recorder;
    recorder.release = true;
    std::atomic<int> destroyed{0};
    pool.start(1);
    pool.pushTask(std::make_shared<RecordingTask>(1, recorder, &destroyed));
    QVERIFY(waitFor([&] { return destroyed == 1; }));
    QCOMPARE(recorder.finished.load(), 1);
    pool.stop();
}

void TestThreadPool::taskPushedBeforeStartWaitsForAWorker()
{
    ThreadPool pool;
    Recorder recorder;
    recorder.release = true;
    pool.pushTask(std::make_shared<RecordingTask>(3, recorder));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    QCOMPARE(recorder.finished.load(), 0);
    pool.start(2);
    QVERIFY(waitFor([&] { return recorder.finished == 1; }));
    pool.stop();
}

void TestThreadPool::finishedSignalArrivesQueuedOnOwnerThread()
{
    ThreadPool pool;
    Recorder recorder;
    recorder.release = true;
    auto task = std::make_shared<RecordingTask>(5, recorder);
    QThread* receiverThread = nullptr;
    QObject receiver;
    connect(task.get(), &BaseTask::signalTaskFinished, &receiver,
            [&receiverThread] { receiverThread = QThread::currentThread(); });
    QSignalSpy spy(task.get(), &BaseTask::signalTaskFinished);
    pool.start(2);
    pool.pushTask(task);
    // The worker may emit before a wait would begin, so the count is what is waited for.
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(receiverThread != nullptr, 30000);
    QCOMPARE(receiverThread, QThread::currentThread());
    pool.stop();
}

void TestThreadPool::workerCount_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<int>("workers");
    QTest::newRow("unknown") << 0 << 3;
    QTest::newRow("4") << 4 << 3;
    QTest::newRow("6") << 6 << 3;
    QTest::newRow("7") << 7 << 3;
    QTest::newRow("8") << 8 << 4;
    QTest::newRow("10") << 10 << 5;
    QTest::newRow("12") << 12 << 6;
    QTest::newRow("16") << 16 << 8;
}

void TestThreadPool::workerCount()
{
    QFETCH(int, hardware);
    QFETCH(int, workers);
    QCOMPARE(ThreadPool::workerCountFor(hardware), workers);
}

QTEST_GUILESS_MAIN(TestThreadPool)
#include "tst_threadpool.moc"
