#include "PDFCompressTask.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "FilePlacement.h"
#include "PathManager.h"
#include "Tool.h"
#include "ToolCommand.h"

namespace
{
// Generous bounds: a healthy range takes well under a second per page.
const int kStepBaseTimeoutMs = 120 * 1000;
const int kStepPerPageTimeoutMs = 30 * 1000;
// How the document tool names, on its output, what a bound or a repair left out of a PDF.
const char* const kLeftOutPrefix = "left out: ";
} // namespace

PDFCompressTask::PDFCompressTask(QObject* parent)
    : BaseTask(parent)
    , m_quality(0)
    , m_firstPage(0)
    , m_lastPage(0)
{
}

void PDFCompressTask::setTask(const QString& inputPath, const QString& partPath, int quality, int firstPage,
                              int lastPage)
{
    m_inputPath = inputPath;
    m_partPath = partPath;
    m_quality = quality;
    m_firstPage = firstPage;
    m_lastPage = lastPage;
}

void PDFCompressTask::run()
{
    splitAndCompress(m_inputPath, m_partPath, m_quality, m_firstPage, m_lastPage);
}

QString PDFCompressTask::splitPathFor(const QString& partPath)
{
    const QFileInfo part(partPath);
    return QString("%1/%2s.pdf").arg(part.path(), part.baseName());
}

int PDFCompressTask::stepTimeoutMs(int pageCount)
{
    return kStepBaseTimeoutMs + kStepPerPageTimeoutMs * qMax(1, pageCount);
}

ToolCommand PDFCompressTask::splitCommand(const QString& inputPath, const QString& splitPath, int firstPage,
                                          int lastPage)
{
    const QString tool = PathManager::instance()->converterPath();
    const QString range = QString("%1-%2").arg(firstPage).arg(lastPage);
    const QString text = QString("\"%1\" -type=3  -subtype=3 -input=\"%2\" -output=\"%3\" -pageRange=%4")
                             .arg(tool, inputPath, splitPath, range);
    return ToolCommand(
        tool, {"-type=3", "-subtype=3", "-input=" + inputPath, "-output=" + splitPath, "-pageRange=" + range},
        text);
}

ToolCommand PDFCompressTask::compressCommand(const QString& splitPath, const QString& partPath, int quality)
{
    const QString tool = PathManager::instance()->converterPath();
    const QString text = QString("%1 -type=3 -subtype=2 -input=%2 -output=%3 -quality=%4")
                             .arg(Tool::quote(tool), Tool::quote(splitPath), Tool::quote(partPath))
                             .arg(quality);
    return ToolCommand(tool,
                       {"-type=3", "-subtype=2", "-input=" + splitPath, "-output=" + partPath,
                        "-quality=" + QString::number(quality)},
                       text);
}

void PDFCompressTask::cancel()
{
    m_run.cancel();
}

QStringList PDFCompressTask::leftOutIn(const QByteArray& toolOutput)
{
    for (const QByteArray& line : toolOutput.split('\n')) {
        if (line.startsWith(kLeftOutPrefix))
            return QString::fromUtf8(line.mid(int(qstrlen(kLeftOutPrefix)))).trimmed().split("; ");
    }
    return QStringList();
}

bool PDFCompressTask::runBlocking(BlockingToolRun& run, const ToolCommand& command, const QString& fileName,
                                  int timeoutMs, StepReport* report)
{
    const BlockingToolRun::Result result = run.run(command, timeoutMs);
    // The document tool writes "<file>.<its pid>.tmp" and renames it when complete.
    const auto removeUnfinished = [&] { QFile::remove(FilePlacement::passingName(fileName, result.pid)); };
    const QString reason = QString::fromLocal8Bit(result.errorText).trimmed().section('\n', 0, 0);
    QString failure;
    switch (result.end) {
    case BlockingToolRun::End::Cancelled:
        removeUnfinished();
        return false;
    case BlockingToolRun::End::FailedToStart:
        run.logUnlessCancelled(QString("pdf tool fail %1: %2").arg(fileName, result.errorString));
        failure = "the document tool could not start: " + result.errorString;
        break;
    case BlockingToolRun::End::TimedOut:
        removeUnfinished();
        run.logUnlessCancelled(QString("pdf tool fail %1: no end after %2 ms").arg(fileName).arg(timeoutMs));
        failure = QString("the document tool did not end after %1 ms").arg(timeoutMs);
        break;
    case BlockingToolRun::End::Crashed:
        removeUnfinished();
        run.logUnlessCancelled(QString("pdf tool fail %1: crashed").arg(fileName));
        failure = "the document tool crashed";
        break;
    case BlockingToolRun::End::Exited:
        if (result.exitCode != 0) {
            run.logUnlessCancelled(
                QString("pdf tool fail %1: exit code %2 %3").arg(fileName).arg(result.exitCode).arg(reason));
            failure = reason.isEmpty()
                          ? QString("the document tool ended with exit code %1").arg(result.exitCode)
                          : reason;
        }
        break;
    }
    if (report) {
        report->failure = failure;
        for (const QString& what : leftOutIn(result.outputText)) {
            if (!report->leftOut.contains(what))
                report->leftOut.append(what);
        }
    }
    return failure.isEmpty();
}

void PDFCompressTask::splitAndCompress(const QString& inputPath, const QString& partPath, int quality,
                                       int firstPage, int lastPage)
{
    const int timeoutMs = stepTimeoutMs(lastPage - firstPage + 1);
    const QString splitPath = splitPathFor(partPath);

    if (m_run.isCancelled())
        return;
    // The tool's own temporary files go into the job's folder, beside the part.
    const QString folder = QFileInfo(partPath).path();
    ToolCommand split = splitCommand(inputPath, splitPath, firstPage, lastPage);
    split.setTempFolder(folder);
    m_run.logUnlessCancelled("pdf split:" + split.text());
    StepReport report;
    // A range that cannot be cut has no part to compress: it ends here, and with it the job.
    bool made = runBlocking(m_run, split, splitPath, timeoutMs, &report);

    if (made && !m_run.isCancelled()) {
        ToolCommand compress = compressCommand(splitPath, partPath, quality);
        compress.setTempFolder(folder);
        m_run.logUnlessCancelled(QString("start compress %1:%2").arg(inputPath, compress.text()));
        made = runBlocking(m_run, compress, partPath, timeoutMs, &report);
    }
    // The split file has served once the part is written.
    QFile::remove(splitPath);

    if (m_run.isCancelled()) {
        removeOwnFiles(splitPath, partPath);
        return;
    }
    if (!made)
        emit signalRangeFailed(QString("pages %1-%2: %3").arg(firstPage).arg(lastPage).arg(report.failure));
    else if (!report.leftOut.isEmpty())
        emit signalLeftOut(report.leftOut);
    emit signalTaskFinished();
}

void PDFCompressTask::removeOwnFiles(const QString& splitPath, const QString& partPath) const
{
    QFile::remove(splitPath);
    QFile::remove(partPath);
    // The engine removes its work folder when it ends its job; a tool killed just then may have
    // written into it once more. The folder goes only when nothing else is left in it.
    QDir().rmdir(QFileInfo(partPath).path());
}
