#include "PDFCompressCore.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QProcess>
#include <QRegExp>
#include <QtConcurrent>

#include "JobEnding.h"
#include "PDFCompressTask.h"
#include "PathManager.h"
#include "PlatformConstants.h"
#include "QPdfDocument.h"
#include "ResultCheck.h"
#include "ResultSettler.h"
#include "SmallerResult.h"
#include "TempFolder.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

namespace
{
const QRegExp kPercentPattern("\\d\\d");
const QRegExp kOutcomePattern("success|Not");

// The merge reads every part once and writes the result: bounded generously by the page count.
const int kMergeBaseTimeoutMs = 120 * 1000;
const int kMergePerPageTimeoutMs = 5 * 1000;
} // namespace

PDFCompressCore::PDFCompressCore(const QString& inputPath, const QString& outputPath, int quality,
                                 QObject* parent)
    : QObject(parent)
    , m_inputPath(inputPath)
    , m_outputPath(outputPath)
    , m_quality(quality)
    , m_taskCount(1)
    , m_finishedCount(0)
    , m_pageCount(0)
    , m_merge(nullptr)
    , m_ending(new JobEnding("pdf", this))
    , m_settler(new ResultSettler(this))
    , m_counting(nullptr)
{
    m_ending->setInput(inputPath);
    m_ending->setOutput(outputPath);
    connect(m_ending, &JobEnding::sig_sendProgress, this, &PDFCompressCore::sig_sendProgress);
    connect(m_ending, &JobEnding::stopping, this, &PDFCompressCore::stopTools);
    connect(m_settler, &ResultSettler::settled, this, &PDFCompressCore::onSettled);
}

PDFCompressCore::~PDFCompressCore()
{
    cancel();
}

void PDFCompressCore::cancel()
{
    m_ending->cancel();
}

void PDFCompressCore::stopTools()
{
    // Running ranges are killed; waiting ones never start.
    for (const std::weak_ptr<PDFCompressTask>& weak : qAsConst(m_tasks)) {
        if (const std::shared_ptr<PDFCompressTask> task = weak.lock())
            task->cancel();
    }
    m_tasks.clear();
    if (m_merge)
        m_merge->cancel();
    m_settler->cancel();
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

void PDFCompressCore::start()
{
    const QFileInfo input(m_inputPath);
    if (input.exists() && !input.isFile()) { // MuPDF would wait on a pipe for ever
        m_ending->fail("the input is not a plain file");
        return;
    }
    // Opening reads the file's cross-reference and its whole page tree, which takes a while for a
    // large or damaged file: not on the window's thread. A watcher that goes with the engine drops a
    // late answer.
    m_counting = new QFutureWatcher<PageCount>(this);
    connect(m_counting, &QFutureWatcherBase::finished, this, [this] { onCounted(m_counting->result()); });
    m_counting->setFuture(QtConcurrent::run(&PDFCompressCore::countPages, m_inputPath));
}

PDFCompressCore::PageCount PDFCompressCore::countPages(const QString& path)
{
    PageCount count;
    QPdfDocument document(path, nullptr);
    count.opened = document.open();
    count.locked = count.opened && document.needsPassword();
    count.pages = document.pageCount();
    count.holdsSignature = count.opened && !count.locked && document.holdsSignature();
    return count;
}

void PDFCompressCore::onCounted(const PageCount& count)
{
    if (m_ending->isOver())
        return;
    if (!count.opened) {
        m_ending->fail("cannot open the document");
        return;
    }
    if (count.locked) {
        m_ending->fail("the document is locked by a password");
        return;
    }
    m_pageCount = count.pages;
    if (m_pageCount <= 0) {
        m_ending->fail("the document has no pages");
        return;
    }
    // A signature covers the file's bytes as they are: any rewrite breaks it. No range is cut.
    if (count.holdsSignature) {
        m_settler->keep("pdf", m_inputPath, m_outputPath, "rewriting would break its signature");
        return;
    }

    // A folder of our own in the program's temporary folder, so that two inputs with the same base
    // name never share part files. It goes with the job, whatever the end, and after a kill at the
    // next start.
    m_workDir = TempFolder::jobFolder("pdf");
    if (m_workDir.isEmpty()) {
        m_ending->fail("cannot create a work folder under " + PlatformConstants::tempFolder());
        return;
    }
    m_ending->addIntermediate(m_workDir);

    split(m_pageCount, pagesPerTask(m_pageCount));
}

void PDFCompressCore::split(int pageCount, int pagesPerTask)
{
    m_taskCount = taskCount(pageCount, pagesPerTask);
    const QString folder = m_workDir.isEmpty() ? PathManager::instance()->tempDir() : m_workDir;
    for (int i = 0; i < m_taskCount; ++i) {
        auto task = std::make_shared<PDFCompressTask>(nullptr);
        connect(task.get(), &PDFCompressTask::signalRangeFailed, this, &PDFCompressCore::onRangeFailed);
        connect(task.get(), &PDFCompressTask::signalLeftOut, this, &PDFCompressCore::addLeftOut);
        connect(task.get(), &BaseTask::signalTaskFinished, this, &PDFCompressCore::onSplitFinished);
        // Named by the index alone: no input name can break the merge's "*"-joined list.
        const QString partPath = QString("%1/%2.pdf").arg(folder).arg(i);
        m_partPaths.append(partPath);
        const QPair<int, int> range = rangeOf(i, pagesPerTask, pageCount);
        task->setTask(m_inputPath, partPath, m_quality, range.first, range.second);
        m_tasks.append(task);
        ThreadPool::instance()->pushTask(task);
    }
}

void PDFCompressCore::onRangeFailed(const QString& reason)
{
    // The other ranges are stopped: a document with a range missing is no result.
    m_ending->fail(reason);
}

void PDFCompressCore::addLeftOut(const QStringList& what)
{
    for (const QString& item : what) {
        if (!m_leftOut.contains(item))
            m_leftOut.append(item);
    }
}

void PDFCompressCore::onSplitFinished()
{
    if (m_ending->isOver())
        return;
    m_finishedCount += 1;
    const float share = (float)m_finishedCount / (float)m_taskCount;
    const float progress = (float)(share * 0.9);
    m_ending->progress(progress, "");
    if (m_finishedCount == m_taskCount)
        merge();
}

void PDFCompressCore::merge()
{
    for (int i = 0; i < m_partPaths.size(); ++i) {
        if (!QFileInfo(m_partPaths[i]).isFile()) {
            const QPair<int, int> range = rangeOf(i, pagesPerTask(m_pageCount), m_pageCount);
            m_ending->fail(QString("pages %1-%2: the part is missing").arg(range.first).arg(range.second));
            return;
        }
    }
    const QString folder = m_workDir.isEmpty() ? PathManager::instance()->tempDir() : m_workDir;
    m_merged = folder + "/merged.pdf";
    m_merge = new ToolProcess(this);
    m_merge->setTimeLimit(kMergeBaseTimeoutMs + kMergePerPageTimeoutMs * m_pageCount);
    connect(m_merge, &ToolProcess::ended, this, [this](ToolProcess::End end) {
        if (end == ToolProcess::End::FailedToStart)
            m_ending->fail("the merge could not start: " + m_merge->process()->errorString());
        else if (end == ToolProcess::End::TimedOut)
            m_ending->fail("the merge did not end in time");
        else
            onMergeFinished();
    });

    const QString tool = PathManager::instance()->converterPath();
    QString text = Tool::quote(tool);
    text += " -type=3";
    text += " -subtype=1";
    text += " -input=\"";
    text += m_partPaths.join('*');
    text += '"';
    text += QString(" -output=\"%1\"").arg(m_merged);
    ToolCommand command(
        tool, {"-type=3", "-subtype=1", "-input=" + m_partPaths.join('*'), "-output=" + m_merged}, text);
    // The document tool merges into the work folder, its temporary folder too; the merged file takes
    // the output's name once it is whole.
    command.setTempFolder(folder);
    m_merge->start(command);
}

void PDFCompressCore::onMergeFinished()
{
    if (m_ending->isOver() || !m_merge)
        return;
    QProcess* process = m_merge->process();
    if (process->exitStatus() != QProcess::NormalExit) {
        m_ending->fail("the merge crashed");
        return;
    }
    if (process->exitCode() != 0) {
        const QString reason = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        m_ending->fail(QString("the merge failed (exit code %1) %2").arg(process->exitCode()).arg(reason));
        return;
    }
    if (QFileInfo(m_merged).size() <= 0) {
        m_ending->fail("the merge wrote no output");
        return;
    }
    addLeftOut(PDFCompressTask::leftOutIn(process->readAllStandardOutput()));
    // A whole PDF takes the output's name; one that is not smaller is worth nothing: the input goes
    // back as it was.
    const int pages = m_pageCount;
    m_settler->settle("pdf", m_inputPath, m_merged, m_outputPath,
                      [pages](const QString& merged) { return ResultCheck::pdf(merged, pages); });
}

void PDFCompressCore::onSettled(const SmallerResult& result)
{
    if (result.failed()) {
        m_ending->fail(result.failure());
        return;
    }
    // The name may have been taken by another program meanwhile: the report names the file written.
    m_outputPath = result.path();
    m_ending->setOutput(m_outputPath);
    // A copy of the input leaves nothing out.
    if (!result.copied() && !m_leftOut.isEmpty())
        Tool::writeLog(QString("pdf left out %1: %2").arg(m_inputPath, m_leftOut.join("; ")));
    m_ending->succeed((float)result.rate());
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
            compRate =
                (float)((double)QFileInfo(m_outputPath).size() / (double)QFileInfo(m_inputPath).size());
        } else {
            progress = -1.0f;
        }
    }
    emit sig_sendProgress(progress, stat, m_outputPath, compRate);
}

void PDFCompressCore::onFinished() {}
