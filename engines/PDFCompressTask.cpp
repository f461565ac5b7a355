#include "PDFCompressTask.h"

#include <QFileInfo>
#include <QProcess>

#include "PathManager.h"
#include "Tool.h"
#include "ToolCommand.h"

namespace {
// Generous bounds: a healthy range takes well under a second per page.
const int kStepBaseTimeoutMs = 120 * 1000;
const int kStepPerPageTimeoutMs = 30 * 1000;
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
    return ToolCommand(tool,
                       {"-type=3", "-subtype=3", "-input=" + inputPath, "-output=" + splitPath,
                        "-pageRange=" + range},
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

bool PDFCompressTask::runBlocking(const ToolCommand& command, const QString& fileName, int timeoutMs)
{
    // The worker runs no event loop: the process lives on this stack and is waited for here.
    QProcess process;
    command.startOn(process);
    if (!process.waitForStarted(timeoutMs)) {
        Tool::writeLog(QString("pdf tool fail %1: %2").arg(fileName, process.errorString()));
        return false;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        Tool::writeLog(QString("pdf tool fail %1: no end after %2 ms").arg(fileName).arg(timeoutMs));
        return false;
    }
    const QString reason = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section('\n', 0, 0);
    if (process.exitStatus() != QProcess::NormalExit) {
        Tool::writeLog(QString("pdf tool fail %1: crashed").arg(fileName));
        return false;
    }
    if (process.exitCode() != 0) {
        Tool::writeLog(QString("pdf tool fail %1: exit code %2 %3").arg(fileName).arg(process.exitCode()).arg(reason));
        return false;
    }
    return true;
}

void PDFCompressTask::splitAndCompress(const QString& inputPath, const QString& partPath, int quality,
                                       int firstPage, int lastPage)
{
    const int timeoutMs = stepTimeoutMs(lastPage - firstPage + 1);
    const QString splitPath = splitPathFor(partPath);

    const ToolCommand split = splitCommand(inputPath, splitPath, firstPage, lastPage);
    Tool::writeLog("pdf split:" + split.text());
    runBlocking(split, splitPath, timeoutMs);

    const ToolCommand compress = compressCommand(splitPath, partPath, quality);
    Tool::writeLog(QString("start compress %1:%2").arg(inputPath, compress.text()));
    runBlocking(compress, partPath, timeoutMs);

    emit signalTaskFinished();
}
