#include "PDFCompressCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegExp>
#include <QTemporaryDir>

#include "PDFCompressTask.h"
#include "PathManager.h"
#include "QPdfDocument.h"
#include "RunningTools.h"
#include "SmallerResult.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

namespace {
const QRegExp kPercentPattern("\\d\\d");
const QRegExp kOutcomePattern("success|Not");

// The merge reads every part once and writes the result: bounded generously by the page count.
const int kMergeBaseTimeoutMs = 120 * 1000;
const int kMergePerPageTimeoutMs = 5 * 1000;
} // namespace

PDFCompressCore::PDFCompressCore(const QString& inputPath, const QString& outputPath, int quality, QObject* parent)
    : QObject(parent)
    , m_inputPath(inputPath)
    , m_outputPath(outputPath)
    , m_quality(quality)
    , m_taskCount(1)
    , m_finishedCount(0)
    , m_pageCount(0)
    , m_merge(nullptr)
    , m_reported(false)
    , m_failed(false)
    , m_ended(false)
{
    connect(RunningTools::instance(), &RunningTools::sig_endAll, this, &PDFCompressCore::cancel);
}

PDFCompressCore::~PDFCompressCore()
{
    cancel();
}

void PDFCompressCore::cancel()
{
    if (m_ended)
        return;
    m_reported = true; // nothing more is told
    for (const std::weak_ptr<PDFCompressTask>& weak : m_tasks) {
        if (const std::shared_ptr<PDFCompressTask> task = weak.lock())
            task->cancel();
    }
    if (m_merge && m_merge->isRunning()) {
        m_merge->cancel();
        m_failed = true; // its output is unfinished
    }
    endJob();
}

void PDFCompressCore::endJob()
{
    if (m_ended)
        return;
    m_ended = true;
    m_tasks.clear();
    removeWorkFolder();
    if (m_failed && m_merge && m_merge->lastPid() > 0) {
        // A merge that failed, or was ended, may have left its result or the document tool's
        // unfinished "<output>.<pid>.tmp".
        QFile::remove(m_outputPath);
        QFile::remove(QString("%1.%2.tmp").arg(m_outputPath).arg(m_merge->lastPid()));
    }
}

void PDFCompressCore::removeWorkFolder()
{
    // Never an empty path: QDir("") is the working folder.
    if (!m_workDir.isEmpty())
        QDir(m_workDir).removeRecursively();
}

int PDFCompressCore::pagesPerTask(int pageCount)
{
    return qMin((pageCount / 100) * 5 + 5, 20);
}

int PDFCompressCore::taskCount(int pageCount, int pagesPerTask)
{
    if (pagesPerTask <= 0)
        return 0;
    return pageCount / pagesPerTask + (pageCount % pagesPerTask != 0 ? 1 : 0);
}

QPair<int, int> PDFCompressCore::rangeOf(int index, int pagesPerTask, int pageCount)
{
    return qMakePair(index * pagesPerTask + 1, qMin((index + 1) * pagesPerTask, pageCount));
}

void PDFCompressCore::fail(const QString& reason)
{
    if (m_reported)
        return;
    m_reported = true;
    m_failed = true;
    Tool::writeLog(QString("pdf compress fail %1: %2").arg(m_inputPath, reason));
    emit sig_sendProgress(-1.0f, false, "", 0.0f);
}

void PDFCompressCore::start()
{
    QPdfDocument document(m_inputPath, nullptr);
    m_baseName = QFileInfo(m_inputPath).baseName();
    if (!document.open()) {
        fail("cannot open the document");
        return;
    }
    if (document.needsPassword()) {
        fail("the document is locked by a password");
        return;
    }
    m_pageCount = document.pageCount();
    if (m_pageCount <= 0) {
        fail("the document has no pages");
        return;
    }

    // A folder of our own, so that two inputs with the same base name never share part files.
    QTemporaryDir workDir(PathManager::instance()->tempDir() + "/pdf-XXXXXX");
    if (!workDir.isValid()) {
        fail("cannot create a work folder under " + PathManager::instance()->tempDir());
        return;
    }
    workDir.setAutoRemove(false);
    m_workDir = workDir.path();

    split(m_pageCount, pagesPerTask(m_pageCount));
}

void PDFCompressCore::split(int pageCount, int pagesPerTask)
{
    m_taskCount = taskCount(pageCount, pagesPerTask);
    const QString folder = m_workDir.isEmpty() ? PathManager::instance()->tempDir() : m_workDir;
    for (int i = 0; i < m_taskCount; ++i) {
        auto task = std::make_shared<PDFCompressTask>(nullptr);
        connect(task.get(), &BaseTask::signalTaskFinished, this, &PDFCompressCore::onSplitFinished);
        const QString partPath = QString("%1/%2_%3.pdf").arg(folder, m_baseName).arg(i);
        m_partPaths.append(partPath);
        const QPair<int, int> range = rangeOf(i, pagesPerTask, pageCount);
        task->setTask(m_inputPath, partPath, m_quality, range.first, range.second);
        m_tasks.append(task);
        ThreadPool::instance()->pushTask(task);
    }
}

void PDFCompressCore::onSplitFinished()
{
    if (m_reported)
        return;
    m_finishedCount += 1;
    const float share = (float)m_finishedCount / (float)m_taskCount;
    const float progress = (float)(share * 0.9);
    emit sig_sendProgress(progress, false, "", 0.0f);
    if (m_finishedCount == m_taskCount)
        merge();
}

void PDFCompressCore::merge()
{
    // Whatever an earlier run left at the output must not pass for this run's result.
    if (QFileInfo::exists(m_outputPath) && !QFile::remove(m_outputPath)) {
        fail("cannot remove the old output " + m_outputPath);
        endJob();
        return;
    }

    m_merge = new ToolProcess(this);
    m_merge->setTimeLimit(kMergeBaseTimeoutMs + kMergePerPageTimeoutMs * m_pageCount);
    connect(m_merge, &ToolProcess::ended, this, [this](ToolProcess::End end) {
        if (end == ToolProcess::End::FailedToStart)
            fail("the merge could not start: " + m_merge->process()->errorString());
        else if (end == ToolProcess::End::TimedOut)
            fail("the merge did not end in time");
        else
            onMergeFinished();
        endJob();
    });

    const QString tool = PathManager::instance()->converterPath();
    QString text = Tool::quote(tool);
    text += " -type=3";
    text += " -subtype=1";
    text += " -input=\"";
    text += m_partPaths.join('*');
    text += '"';
    text += QString(" -output=\"%1\"").arg(m_outputPath);
    const ToolCommand command(tool,
                              {"-type=3", "-subtype=1", "-input=" + m_partPaths.join('*'), "-output=" + m_outputPath},
                              text);
    m_merge->start(command);
}

void PDFCompressCore::onMergeFinished()
{
    if (m_reported)
        return;
    QProcess* process = m_merge->process();
    if (process->exitStatus() != QProcess::NormalExit) {
        fail("the merge crashed");
        return;
    }
    if (process->exitCode() != 0) {
        const QString reason = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        fail(QString("the merge failed (exit code %1) %2").arg(process->exitCode()).arg(reason));
        return;
    }
    if (QFileInfo(m_outputPath).size() <= 0) {
        fail("the merge wrote no output");
        return;
    }
    // A result that is not smaller is worth nothing: the input goes back as it was.
    const SmallerResult result = SmallerResult::settle("pdf", m_inputPath, m_outputPath);
    if (result.failed()) {
        fail("cannot copy the input to " + m_outputPath);
        return;
    }
    m_reported = true;
    emit sig_sendProgress(1.0f, true, m_outputPath, (float)result.rate());
}

void PDFCompressCore::onReadyReadOutput(QProcess* process)
{
    const QString output = QString::fromUtf8(process->readAllStandardOutput());
    float progress = 0.0f;
    bool stat = false;
    float compRate = 0.0f;
    QRegExp percent(kPercentPattern);
    if (percent.indexIn(output, 0) >= 0)
        progress = percent.cap(0).toInt() / 100.0f;
    QRegExp outcome(kOutcomePattern);
    if (outcome.indexIn(output, 0) >= 0) {
        if (outcome.cap(0) == "success") {
            stat = true;
            compRate = (float)((double)QFileInfo(m_outputPath).size() / (double)QFileInfo(m_inputPath).size());
        } else {
            progress = -1.0f;
        }
    }
    emit sig_sendProgress(progress, stat, m_outputPath, compRate);
}

void PDFCompressCore::onFinished()
{
}
