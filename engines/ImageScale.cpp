#include "ImageScale.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "core/Tool.h"
#include "core/ToolCommand.h"
#include "platform/PlatformConstants.h"

int g_imageScaleCount = 0;

namespace
{
// A file argument that begins with '-' would be read as an option; "./" keeps it a file name.
QString fileArgument(const QString& path)
{
    return path.startsWith('-') ? "./" + path : path;
}
} // namespace

ImageScale::ImageScale(QString convertPath, QString gifsiclePath, QObject* parent)
    : QObject(parent), m_convertPath(convertPath), m_gifsiclePath(gifsiclePath),
      m_process(new QProcess(this)), m_deadline(new QTimer(this)), m_timeLimitMs(kDefaultTimeLimitMs),
      m_number(++g_imageScaleCount), m_timedOut(false), m_ended(false)
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this]() { onTimeLimit(); });
    connect(
        m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
        [this](int exitCode, QProcess::ExitStatus exitStatus) { onProcessFinished(exitCode, exitStatus); });
    connect(m_process, &QProcess::errorOccurred, this,
            [this](QProcess::ProcessError error) { onProcessError(error); });
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
    start(ToolCommand(PlatformConstants::findProgram(m_convertPath),
                      {"-resize", size + '!', fileArgument(inPath), fileArgument(m_outPath)}, text));
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
    start(ToolCommand(PlatformConstants::findProgram(m_gifsiclePath),
                      {"--resize", size, "-i", fileArgument(inPath), "-o", fileArgument(m_outPath)}, text));
}

bool ImageScale::prepare(const QString& inPath, const QString& tempDir)
{
    m_inPath = inPath;
    if (!QFile::exists(inPath)) {
        // Told after the caller has returned, like every other end of a resize.
        QTimer::singleShot(0, this, [this]() { fail("input missing"); });
        return false;
    }
    m_outPath = QString("%1scale_%2.%3").arg(tempDir, QString::number(m_number), QFileInfo(inPath).suffix());
    return true;
}

void ImageScale::start(const ToolCommand& command)
{
    command.startOn(*m_process);
    m_deadline->start(m_timeLimitMs);
}

void ImageScale::onProcessFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (m_ended)
        return;
    if (exitStatus == QProcess::CrashExit) {
        fail(m_timedOut ? "timed out" : "crashed");
        return;
    }
    if (exitCode != 0) {
        fail(QString("exit code %1").arg(exitCode));
        return;
    }
    if (QFileInfo(m_outPath).size() <= 0) {
        fail("no output " + m_outPath);
        return;
    }
    finish();
}

void ImageScale::onProcessError(QProcess::ProcessError error)
{
    // A crash also ends in onProcessFinished, which names it; only a failed start ends here.
    if (error == QProcess::FailedToStart)
        fail("cannot start " + m_process->program());
}

void ImageScale::onTimeLimit()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_timedOut = true;
    m_process->kill();
}

void ImageScale::finish()
{
    m_ended = true;
    m_deadline->stop();
    emit sig_scaleFinished(m_outPath);
}

void ImageScale::fail(const QString& reason)
{
    if (m_ended)
        return;
    m_ended = true;
    m_deadline->stop();
    Tool::writeLog(QString("scale fail %1: %2").arg(m_inPath, reason));
    emit sig_scaleFinished(QString());
}
