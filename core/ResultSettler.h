#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QObject>
#include <QString>

#include "SmallerResult.h"

class QThread;

// Checks a finished result and settles it (SmallerResult) on a thread of its own, so that reading a
// large result through and copying or moving it never holds the window, and tells the end on the
// thread that asked, once the output is in place. A result that the check finds wanting is never
// placed: the end is a failure, "the result is incomplete: <what the check said>". cancel() and the
// destructor end a copy under way (it leaves no passing file) and nothing is told.
class ResultSettler : public QObject
{
    Q_OBJECT
public:
    explicit ResultSettler(QObject* parent);
    ~ResultSettler() override;

    // What is wrong with the written result, or an empty text when it is whole. Runs on the thread.
    using Check = std::function<QString(const QString& writtenPath)>;

    // `check`, then SmallerResult::settle with the same arguments; `settled` follows.
    void settle(const QString& kind, const QString& inputPath, const QString& writtenPath,
                const QString& outputPath, const Check& check);
    // SmallerResult::keep with the same arguments, on the thread; `settled` follows.
    void keep(const QString& kind, const QString& inputPath, const QString& outputPath, const QString& why);
    // Stops a settle under way and waits (a bounded time) for its thread to end.
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }

    // How long cancel() waits for a copy to give up: it stops at its next chunk, within milliseconds
    // unless the disk hangs.
    static constexpr int kStopWaitMs = 10000;

signals:
    void settled(const SmallerResult& result);

private:
    struct Work;

    // Runs `job` on a thread of its own, its result told by `settled`.
    void start(const std::function<SmallerResult(const std::atomic_bool* stop)>& job);
    void onThreadFinished(const std::shared_ptr<Work>& work);
    void releaseThread();

    QThread* m_thread = nullptr;
    std::shared_ptr<Work> m_work;
};
