#include "ImageScale.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "MagickPolicy.h"
#include "PlatformConstants.h"
#include "Tool.h"
#include "ToolCommand.h"

int g_imageScaleCount = 0;

ImageScale::ImageScale(QString convertPath, QString gifsiclePath, QObject* parent)
    : QObject(parent)
    , m_convertPath(convertPath)
    , m_gifsiclePath(gifsiclePath)
    , m_tool(new ToolProcess(this))
    , m_number(++g_imageScaleCount)
    , m_ended(false)
{
    m_tool->setTimeLimit(kDefaultTimeLimitMs);
    connect(m_tool, &ToolProcess::ended, this, &ImageScale::onToolEnded);
}

ImageScale::~ImageScale()
{
    cancel();
}

void ImageScale::cancel()
{
    if (m_ended)
        return;
    m_ended = true;
    const bool wasRunning = m_tool->isRunning();
    m_tool->cancel();
    if (wasRunning)
        QFile::remove(m_outPath);
}

void ImageScale::scaleByConvert(const QString& inPath, const QString& tempDir, const int& width,
                                const int& height)
{
    if (!prepare(inPath, tempDir))
        return;
    const QString size = QString("%1x%2").arg(width).arg(height);
    const QString text =
        QString("%1 -resize %2! %3 %4")
            .arg(Tool::quote(m_convertPath), size, Tool::quote(inPath), Tool::quote(m_outPath));
    if (!m_policyFolder.isEmpty())
        MagickPolicy::apply(m_tool->process(), m_policyFolder);
    m_tool->start(ToolCommand(
        PlatformConstants::findProgram(m_convertPath),
        {"-resize", size + '!', ToolCommand::fileArgument(inPath), ToolCommand::fileArgument(m_outPath)},
        text));
}

void ImageScale::scaleByGifsicle(const QString& inPath, const QString& tempDir, const int& width,
                                 const int& height)
{
    if (!prepare(inPath, tempDir))
        return;
    const QString size = QString("%1x%2").arg(width).arg(height);
    const QString text =
        QString("%1 --resize %2 -i %3 -o %4")
            .arg(Tool::quote(m_gifsiclePath), size, Tool::quote(inPath), Tool::quote(m_outPath));
    m_tool->start(ToolCommand(PlatformConstants::findProgram(m_gifsiclePath),
                              {"--resize", size, "-i", ToolCommand::fileArgument(inPath), "-o",
                               ToolCommand::fileArgument(m_outPath)},
                              text));
}

bool ImageScale::prepare(const QString& inPath, const QString& tempDir)
{
    if (!QFile::exists(inPath)) {
        // Told after the caller has returned, like every other end of a resize.
        QTimer::singleShot(0, this, [this]() { fail("input missing"); });
        return false;
    }
    m_outPath = QString("%1scale_%2.%3").arg(tempDir, QString::number(m_number), QFileInfo(inPath).suffix());
    return true;
}

void ImageScale::onToolEnded(ToolProcess::End end, int exitCode)
{
    QString failure = m_tool->failure(end, exitCode);
    if (failure.isEmpty() && QFileInfo(m_outPath).size() <= 0)
        failure = "no output " + m_outPath;
    if (!failure.isEmpty()) {
        fail(failure);
    } else if (!m_ended) {
        m_ended = true;
        emit sig_scaleFinished(m_outPath);
    }
}

void ImageScale::fail(const QString& reason)
{
    if (m_ended)
        return;
    m_ended = true;
    if (!m_outPath.isEmpty())
        QFile::remove(m_outPath); // whatever a failed resize began to write
    m_failure = reason;
    emit sig_scaleFinished(QString());
}
