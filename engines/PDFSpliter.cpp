#include "PDFSpliter.h"

#include "PDFCompressTask.h"
#include "Tool.h"
#include "ToolCommand.h"

PDFSpliter::PDFSpliter(QObject* parent)
    : BaseTask(parent)
    , m_firstPage(0)
    , m_lastPage(0)
{
}

void PDFSpliter::setTask(const QString& inputPath, const QString& outputPath, int firstPage, int lastPage)
{
    m_inputPath = inputPath;
    m_outputPath = outputPath;
    m_firstPage = firstPage;
    m_lastPage = lastPage;
}

void PDFSpliter::run()
{
    split(m_inputPath, m_outputPath, m_firstPage, m_lastPage);
}

void PDFSpliter::cancel()
{
    m_run.cancel();
}

void PDFSpliter::split(const QString& inputPath, const QString& outputPath, int firstPage, int lastPage)
{
    const ToolCommand command = PDFCompressTask::splitCommand(inputPath, outputPath, firstPage, lastPage);
    Tool::writeLog("pdf split:" + command.text());
    PDFCompressTask::runBlocking(m_run, command, outputPath,
                                 PDFCompressTask::stepTimeoutMs(lastPage - firstPage + 1));
    emit signalFinished();
}
