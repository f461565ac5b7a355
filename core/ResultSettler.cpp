#include "ResultSettler.h"

#include <atomic>

#include <QThread>

// What the settling thread shares with the settler; held by both, so that a thread that outlives
// its settler (a hung disk) still writes into something that is there.
struct ResultSettler::Work {
    std::atomic_bool stop{false};
    SmallerResult result;
};

ResultSettler::ResultSettler(QObject* parent)
    : QObject(parent)
{
}

ResultSettler::~ResultSettler()
{
    cancel();
}

void ResultSettler::settle(const QString& kind, const QString& inputPath, const QString& writtenPath,
                           const QString& outputPath, const Check& check)
{
    start([kind, inputPath, writtenPath, outputPath, check](const std::atomic_bool* stop) {
        const QString wanting = check ? check(writtenPath) : QString();
        if (!wanting.isEmpty())
            return SmallerResult::failedFor("the result is incomplete: " + wanting);
        if (*stop)
            return SmallerResult();
        return SmallerResult::settle(kind, inputPath, writtenPath, outputPath, stop);
    });
}

void ResultSettler::keep(const QString& kind, const QString& inputPath, const QString& outputPath,
                         const QString& why)
{
    start([kind, inputPath, outputPath, why](const std::atomic_bool* stop) {
        return SmallerResult::keep(kind, inputPath, outputPath, why, stop);
    });
}

void ResultSettler::start(const std::function<SmallerResult(const std::atomic_bool* stop)>& job)
{
    cancel();
    auto work = std::make_shared<Work>();
    m_work = work;
    m_thread = QThread::create([work, job] { work->result = job(&work->stop); });
    connect(m_thread, &QThread::finished, this, [this, work] { onThreadFinished(work); });
    m_thread->start();
}

void ResultSettler::onThreadFinished(const std::shared_ptr<Work>& work)
{
    // A settle that was cancelled, or replaced by a newer one, is told no more.
    if (work != m_work || work->stop)
        return;
    releaseThread();
    m_work.reset();
    emit settled(work->result);
}

void ResultSettler::cancel()
{
    if (m_work)
        m_work->stop = true;
    m_work.reset();
    releaseThread();
}

void ResultSettler::releaseThread()
{
    if (!m_thread)
        return;
    QThread* thread = m_thread;
    m_thread = nullptr;
    if (thread->wait(kStopWaitMs)) {
        delete thread;
        return;
    }
    // Still in a write that does not return: the thread goes once it has ended.
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
}
