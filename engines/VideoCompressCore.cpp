#include "VideoCompressCore.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include "JsonParsing.h"
#include "MediaInfoQueries.h"
#include "OutputPaths.h"
#include "RunningTools.h"
#include "SmallerResult.h"
#include "Tool.h"

namespace {
QString firstConfigLocation()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::AppConfigLocation);
    return locations.isEmpty() ? QString() : locations.first();
}

// ffmpeg prints a progress block about every half second; two minutes of silence means it hangs.
const int kDefaultStallTimeoutMs = 120000;
} // namespace

QString g_infoJsonPath = firstConfigLocation() + "/Vornix/info.json";

VideoCompressCore::VideoCompressCore(QString ffmpegPath, QObject* parent)
    : QObject(parent)
    , m_ffmpegPath(ffmpegPath)
    , m_ffmpeg(new ToolProcess(this))
    , m_infoProcess(new QProcess(this))
{
    connect(m_infoProcess, &QProcess::readyReadStandardOutput, this, &VideoCompressCore::slot_readMOutput);
    m_ffmpeg->process()->setProcessChannelMode(QProcess::MergedChannels);
    m_ffmpeg->setSilenceLimit(kDefaultStallTimeoutMs);
    connect(m_ffmpeg->process(), &QProcess::readyReadStandardOutput, this,
            &VideoCompressCore::slot_readFOutput);
    connect(m_ffmpeg, &ToolProcess::ended, this, &VideoCompressCore::onFfmpegEnded);
    connect(RunningTools::instance(), &RunningTools::sig_endAll, this, &VideoCompressCore::cancel);
}

VideoCompressCore::VideoCompressCore(QObject* parent)
    : QObject(parent)
    , m_infoProcess(new QProcess(this))
{
    connect(m_infoProcess, &QProcess::readyReadStandardOutput, this, &VideoCompressCore::slot_readMOutput);
}

VideoCompressCore::~VideoCompressCore()
{
    cancel();
}

void VideoCompressCore::cancel()
{
    if (!m_ffmpeg)
        return;
    m_finished = true;
    // Running after a told failure too ("Error initializing" while ffmpeg still runs).
    const bool running = m_ffmpeg->isRunning();
    m_ffmpeg->cancel();
    if (running)
        removePartialOutput();
}

void VideoCompressCore::removePartialOutput()
{
    if (!m_started || m_outPath.isEmpty())
        return;
    m_started = false;
    if (QFileInfo(m_outPath).absoluteFilePath() != QFileInfo(m_inPath).absoluteFilePath())
        QFile::remove(m_outPath);
}

QString VideoCompressCore::outputName(const QString& inPath, bool toMp4)
{
    const QFileInfo info(inPath);
    return toMp4 ? "c_" + info.baseName() + ".mp4" : "c_" + info.fileName();
}

QString VideoCompressCore::codecFor(const QString& inPath, bool toMp4)
{
    const QString suffix = QFileInfo(inPath).suffix().toLower();
    const bool keepsX264 = suffix == "wmv" || suffix == "flv" || suffix == "avi";
    return keepsX264 && !toMp4 ? "libx264" : "libx265";
}

QSize VideoCompressCore::targetSize(const VideoCompressParam& param)
{
    int width = static_cast<int>(static_cast<float>(param.width) * param.scale);
    int height = static_cast<int>(static_cast<float>(param.height) * param.scale);
    if (width % 10 > 0 || height % 10 > 0) {
        width += 10 - width % 10;
        height += 10 - height % 10;
    }
    return QSize(width, height);
}

ToolCommand VideoCompressCore::ffmpegCommand(const QString& ffmpegPath, const QString& inPath,
                                             const QString& outPath, const QString& codec, int crf,
                                             const QSize& size)
{
    const QString crfText = QString::number(crf);
    const QString widthText = QString::number(size.width());
    const QString heightText = QString::number(size.height());
    const QString scale = QString("scale=%1:%2").arg(widthText, heightText);

    const QStringList arguments{"-i",      inPath,   "-vcodec", codec,       "-crf",    crfText,
                                "-vf",     scale,    "-acodec", "aac",       "-threads", "5",
                                "-preset", "ultrafast", outPath, "-y",       "-progress", "pipe:1"};
    // One pass of arg(), so that a "%" in a path is never taken for a place holder.
    const QString text = QString("%1 -i %2 -vcodec " + codec +
                                 " -crf %3 -vf \"scale=%4:%5\" -acodec aac -threads 5 -preset ultrafast %6"
                                 "  -y -progress pipe:1")
                             .arg(Tool::quote(ffmpegPath), Tool::quote(inPath), crfText, widthText, heightText,
                                  Tool::quote(outPath));
    return ToolCommand(ffmpegPath, arguments, text);
}

void VideoCompressCore::setStallTimeout(int milliseconds)
{
    if (m_ffmpeg)
        m_ffmpeg->setSilenceLimit(milliseconds);
}

QString VideoCompressCore::compress(const QString& inPath, const bool& toMp4, const QString& outDir,
                                    const VideoCompressParam& param)
{
    m_totalFrames = getFrameCount(inPath);
    const QString outPath = OutputPaths::claim(outDir + outputName(inPath, toMp4));
    m_inPath = inPath;
    m_outPath = outPath;

    const ToolCommand command =
        ffmpegCommand(m_ffmpegPath, inPath, outPath, codecFor(inPath, toMp4), param.crf, targetSize(param));
    if (!QFile::exists(inPath))
        Tool::writeLog("file not exist");

    if (!m_ffmpeg) { // a probe-only instance has nothing to run
        reportFailure();
        return outPath;
    }
    m_started = true;
    m_ffmpeg->start(command);
    return outPath;
}

VideoInfo VideoCompressCore::videoInfo(const QString& path)
{
    const QSize size = getMediaSize(path, 0);
    VideoInfo info;
    info.baseName = QFileInfo(path).baseName();
    info.filePath = path;
    info.width = size.width();
    info.height = size.height();
    info.duration = getMediaDuration(path);
    JsonParsing::parseMediaInfo(info, g_infoJsonPath);
    return info;
}

void VideoCompressCore::slot_readMOutput()
{
    const QByteArray output = m_infoProcess->readAllStandardOutput();
    QFile file(g_infoJsonPath);
    if (!file.open(QIODevice::WriteOnly))
        Tool::writeLog("write to info.json fail");
    file.write(output);
    file.close();
}

void VideoCompressCore::slot_readFOutput()
{
    const QByteArray output = m_ffmpeg->process()->readAll();
    if (output.isEmpty())
        return;
    m_pending += output;
    consumeLines(false);
}

int VideoCompressCore::parseFrame(const QByteArray& chunk)
{
    static const QRegularExpression framePattern("frame=(\\d+)");
    const QRegularExpressionMatch match = framePattern.match(QString::fromLocal8Bit(chunk));
    if (!match.hasMatch())
        return 0;
    return match.captured(1).toInt(nullptr, 10); // too many digits for an int: 0
}

VideoCompressCore::Marker VideoCompressCore::markerOf(const QByteArray& line)
{
    // The progress markers count only as ffmpeg's own progress lines, so that a file name that
    // ffmpeg echoes on its error stream ("clip=end.mp4") cannot end or fail the run.
    const QByteArray trimmed = line.trimmed();
    if (trimmed == "progress=continue")
        return Marker::Continue;
    if (trimmed == "progress=end")
        return Marker::End;
    if (line.contains("Error initializing"))
        return Marker::Error;
    return Marker::None;
}

// Splits the pending output into lines ("\n" or "\r", which ends ffmpeg's status line) and hands
// each progress block on as soon as its marker line is complete. A marker that arrives in two
// reads is therefore never lost, and two blocks read at once give two reports.
void VideoCompressCore::consumeLines(bool atExit)
{
    int start = 0;
    for (int i = 0; i < m_pending.size(); ++i) {
        const char c = m_pending.at(i);
        if (c != '\n' && c != '\r')
            continue;
        const QByteArray line = m_pending.mid(start, i + 1 - start);
        start = i + 1;
        m_segment += line;
        const Marker marker = markerOf(line);
        if (marker != Marker::None) {
            handleSegment(m_segment, marker);
            m_segment.clear();
        }
    }
    m_pending.remove(0, start);

    if (atExit && !m_pending.isEmpty()) { // a last line without its line end
        m_segment += m_pending;
        const Marker marker = markerOf(m_pending);
        m_pending.clear();
        if (marker != Marker::None)
            handleSegment(m_segment, marker);
        m_segment.clear();
    }
}

void VideoCompressCore::handleSegment(const QByteArray& segment, Marker marker)
{
    if (m_finished || m_done)
        return; // after the end block or a failure nothing more is reported
    const int frame = parseFrame(segment);
    switch (marker) {
    case Marker::Continue:
        emit sig_sendProgress(progressFor(frame, false), m_done, m_outPath, 0.0f);
        break;
    case Marker::End:
        // The final report waits for ffmpeg's exit: an end block followed by a failing exit (a
        // full disk, a write error) is a failure, not a result.
        m_done = true;
        m_endFrame = frame;
        break;
    case Marker::Error:
        reportFailure();
        break;
    case Marker::None:
        break;
    }
}

float VideoCompressCore::progressFor(int frame, bool finished) const
{
    if (m_totalFrames <= 0) // frame count unknown: no ratio to give
        return finished ? 1.0f : 0.0f;
    return static_cast<float>(static_cast<double>(frame) / m_totalFrames);
}

void VideoCompressCore::onFfmpegEnded(ToolProcess::End end, int exitCode)
{
    m_pending += m_ffmpeg->process()->readAll();
    if (end == ToolProcess::End::FailedToStart)
        m_started = false; // an older file at the output is untouched
    consumeLines(true);
    if (m_finished) { // the failure was told while ffmpeg still ran
        removePartialOutput();
        return;
    }
    // Failed to start, crashed, or stopped for its silence: no result, whatever it printed.
    if (!m_done || end != ToolProcess::End::Exited || exitCode != 0) {
        reportFailure();
        return;
    }

    // A video kept in its container comes back no larger than it was given.
    const SmallerResult result = SmallerResult::settle("video", m_inPath, m_outPath);
    if (result.failed()) {
        reportFailure("cannot copy the input to " + m_outPath);
        return;
    }
    m_finished = true;
    emit sig_sendProgress(progressFor(m_endFrame, true), m_done, m_outPath,
                          static_cast<float>(result.rate()));
}

void VideoCompressCore::reportFailure(const QString& reason)
{
    if (m_finished)
        return;
    m_finished = true;
    // "Error initializing" comes while ffmpeg still runs; its output goes when it has ended.
    if (!m_ffmpeg || !m_ffmpeg->isRunning())
        removePartialOutput();
    emit sig_sendProgress(-1.0f, false, m_outPath, 0.0f);
    const QString line = QString("video compress fail %1").arg(m_inPath);
    Tool::writeLog(reason.isEmpty() ? line : line + ": " + reason);
}
