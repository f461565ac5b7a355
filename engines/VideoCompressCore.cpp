#include "VideoCompressCore.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>

#include "BlockingToolRun.h"
#include "JobEnding.h"
#include "JsonParsing.h"
#include "MediaInfoQueries.h"
#include "OutputPaths.h"
#include "PlatformConstants.h"
#include "PlayingTime.h"
#include "ResultCheck.h"
#include "ResultSettler.h"
#include "SmallerResult.h"
#include "TempFolder.h"
#include "Tool.h"

namespace
{
QString firstConfigLocation()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::AppConfigLocation);
    return locations.isEmpty() ? QString() : locations.first();
}

// ffmpeg prints a progress block about every half second; two minutes of silence means it hangs.
const int kDefaultStallTimeoutMs = 120000;

// The smallest side, in pixels, that x265 encodes ("Image size is too small"); x264 takes it too.
const int kSmallestSide = 16;

// Sound tracks of `tracks` that the container holds: an FLV file holds a single one.
int audioTracksHeld(const QString& container, int tracks)
{
    return container == "flv" ? qMin(tracks, 1) : tracks;
}

// Subtitles that ffmpeg can turn into MP4's and MOV's own text subtitles ("mov_text"); the
// picture subtitles of discs (PGS, VobSub, DVB) cannot be.
bool isTextSubtitle(const QString& format)
{
    static const QStringList textFormats{"UTF-8", "ASS", "SSA", "SubRip", "Timed Text", "WebVTT"};
    return textFormats.contains(format, Qt::CaseInsensitive) ||
           format.contains("WEBVTT", Qt::CaseInsensitive);
}

// Positions among the source's subtitle tracks of those the container holds: all of them in a
// Matroska file, the text ones in MP4 and MOV, none in AVI, WMV and FLV.
QList<int> subtitlesHeld(const QString& container, const QStringList& formats)
{
    QList<int> held;
    for (int i = 0; i < formats.size(); ++i) {
        if (container == "mkv" ||
            ((container == "mp4" || container == "mov") && isTextSubtitle(formats.at(i))))
            held.append(i);
    }
    return held;
}

// Cover pictures the output keeps: an MP4's or a MOV's in an MP4. ffmpeg writes none into MOV, and
// reads a Matroska file's as pictures that it would write back as a video track.
int coversHeld(const QString& container, const MediaStreams& streams)
{
    return container == "mp4" && streams.format == "MPEG-4" ? streams.coverCount : 0;
}

// Attached files that are no cover picture (the fonts of styled subtitles): a Matroska file's own.
int filesAttached(const MediaStreams& streams)
{
    return qMax(0, streams.attachmentCount - streams.coverCount);
}

int filesHeld(const QString& container, const MediaStreams& streams)
{
    return container == "mkv" ? filesAttached(streams) : 0;
}

// The filter that makes an interlaced picture whole frames before it is scaled, in its field order,
// so no frame mixes the two moments of its fields; empty for a progressive one.
QString deinterlaceFilter(const MediaStreams& streams)
{
    static const QStringList interlaced{"Interlaced", "MBAFF", "PAFF", "Mixed"};
    if (!interlaced.contains(streams.scanType, Qt::CaseInsensitive))
        return QString();
    const QString order = streams.scanOrder.toUpper();
    const QString parity = order.startsWith("TFF") ? "tff" : order.startsWith("BFF") ? "bff" : "auto";
    // A mixed one has progressive frames too, which stay as they are.
    const QString frames = streams.scanType.compare("Mixed", Qt::CaseInsensitive) == 0 ? "interlaced" : "all";
    return QString("yadif=parity=%1:deint=%2").arg(parity, frames);
}

// One log line for each kind of track the output's container cannot hold.
void logLeftOut(const QString& inPath, const QString& container, const MediaStreams& streams)
{
    const auto logOne = [&](int held, int all, const QString& kind) {
        if (held < all)
            Tool::writeLog(QString("video compress %1: left out %2 of %3 %4, which %5 cannot hold")
                               .arg(inPath, QString::number(all - held), QString::number(all), kind,
                                    container.toUpper()));
    };
    logOne(audioTracksHeld(container, streams.audioCount), streams.audioCount, "sound tracks");
    logOne(subtitlesHeld(container, streams.subtitleFormats).size(), streams.subtitleFormats.size(),
           "subtitle tracks");
    logOne(coversHeld(container, streams), streams.coverCount, "cover pictures");
    logOne(filesHeld(container, streams), filesAttached(streams), "attached files");
}
} // namespace

QString g_infoJsonPath = firstConfigLocation() + "/Vornix/info.json";

VideoCompressCore::VideoCompressCore(QString ffmpegPath, QObject* parent)
    : QObject(parent)
    , m_ffmpegPath(ffmpegPath)
    , m_ffmpeg(new ToolProcess(this))
    , m_reader(new ToolProcess(this))
    , m_resultReader(std::make_shared<BlockingToolRun>())
    , m_ending(new JobEnding("video", this))
    , m_settler(new ResultSettler(this))
{
    m_ffmpeg->process()->setProcessChannelMode(QProcess::MergedChannels);
    m_ffmpeg->setSilenceLimit(kDefaultStallTimeoutMs);
    connect(m_ffmpeg->process(), &QProcess::readyReadStandardOutput, this,
            &VideoCompressCore::slot_readFOutput);
    connect(m_ffmpeg, &ToolProcess::ended, this, &VideoCompressCore::onFfmpegEnded);
    connect(m_reader, &ToolProcess::ended, this, &VideoCompressCore::onSourceRead);
    connect(m_ending, &JobEnding::sig_sendProgress, this, &VideoCompressCore::sig_sendProgress);
    connect(m_ending, &JobEnding::stopping, this, &VideoCompressCore::stopTools);
    connect(m_settler, &ResultSettler::settled, this, &VideoCompressCore::onSettled);
}

VideoCompressCore::VideoCompressCore(QObject* parent)
    : QObject(parent)
    , m_ending(new JobEnding("video", this))
{
    connect(m_ending, &JobEnding::sig_sendProgress, this, &VideoCompressCore::sig_sendProgress);
}

VideoCompressCore::~VideoCompressCore()
{
    cancel();
}

void VideoCompressCore::cancel()
{
    m_ending->cancel();
}

void VideoCompressCore::stopTools()
{
    m_reader->cancel();
    m_ffmpeg->cancel();
    // Ended first, so that the settling thread does not hold the settler's wait for its thread.
    m_resultReader->cancel();
    m_settler->cancel();
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
    // A tiny video (2 x 2) comes to 10 x 10, which x265 refuses.
    const auto encodable = [](int side) { return side > 0 ? qMax(side, kSmallestSide) : side; };
    return QSize(encodable(width), encodable(height));
}

QSize VideoCompressCore::targetSize(const VideoCompressParam& param, int rotation)
{
    if (rotation != 90 && rotation != 270)
        return targetSize(param);
    VideoCompressParam upright = param;
    upright.width = param.height;
    upright.height = param.width;
    return targetSize(upright);
}

QString VideoCompressCore::containerFor(const QString& inPath, bool toMp4)
{
    return toMp4 ? QString("mp4") : QFileInfo(inPath).suffix().toLower();
}

QStringList VideoCompressCore::streamArguments(const QString& container, const QString& codec,
                                               const MediaStreams& streams)
{
    // "V" is a video stream that is no cover picture: the first one is the film.
    QStringList arguments{"-map", "0:V:0", "-map", container == "flv" ? "0:a:0?" : "0:a?"};
    if (container == "mkv") {
        arguments += {"-map", "0:s?", "-c:s", "copy"};
    } else {
        const QList<int> subtitles = subtitlesHeld(container, streams.subtitleFormats);
        for (int index : subtitles)
            arguments += {"-map", QString("0:s:%1?").arg(index)};
        if (!subtitles.isEmpty())
            arguments += {"-c:s", "mov_text"};
    }
    // An MP4's cover pictures are the video streams of no track (ID 0); they follow the film, which
    // alone is encoded, filtered and tagged (-c:v:0, -filter:v:0, -tag:v:0), as they are.
    if (coversHeld(container, streams) > 0)
        arguments += {"-map", "0:i:0?", "-c:v", "copy", "-c:v:0", codec};
    // A Matroska file's attached files (the fonts its styled subtitles name) are copied.
    if (container == "mkv")
        arguments += {"-map", "0:t?"};
    // Given by hand, the container's metadata keeps its recorded date (creation_time), which ffmpeg
    // leaves out of the metadata it copies by itself.
    arguments += {"-map_metadata", "0"};
    // Each frame keeps its own time: a variable frame rate is not filled up to a fixed one.
    arguments += {"-fps_mode", "passthrough"};
    // Players decode 4:2:0; 4:4:4 and RGB sources (screen recordings) would otherwise stay so.
    arguments += {"-pix_fmt", streams.bitDepth > 8 ? "yuv420p10le" : "yuv420p"};
    // ffmpeg tags HEVC in MP4 and MOV "hev1", which Apple's players refuse.
    if (codec == "libx265" && (container == "mp4" || container == "mov"))
        arguments += {"-tag:v:0", "hvc1"};
    return arguments;
}

ToolCommand VideoCompressCore::ffmpegCommand(const QString& ffmpegPath, const QString& inPath,
                                             const QString& outPath, const QString& codec, int crf,
                                             const QSize& size, const QStringList& choices,
                                             const QString& deinterlace)
{
    const QString crfText = QString::number(crf);
    const QString widthText = QString::number(size.width());
    const QString heightText = QString::number(size.height());
    const QString scale = QString("scale=%1:%2").arg(widthText, heightText);
    const QString filters = deinterlace.isEmpty() ? scale : deinterlace + ',' + scale;

    // The filters go to the film only: a cover picture is copied, and ffmpeg filters no copied stream.
    const QStringList arguments =
        QStringList{"-i",    inPath,    "-vcodec", codec,      "-crf", crfText,   "-filter:v:0",
                    filters, "-acodec", "aac",     "-threads", "5",    "-preset", "ultrafast"} +
        choices + QStringList{outPath, "-y", "-progress", "pipe:1"};
    // One pass of arg(), so that a "%" in a path is never taken for a place holder.
    const QString text = QString("%1 -i %2 -vcodec " + codec +
                                 " -crf %3 -vf \"scale=%4:%5\" -acodec aac -threads 5 -preset ultrafast %6"
                                 "  -y -progress pipe:1")
                             .arg(Tool::quote(ffmpegPath), Tool::quote(inPath), crfText, widthText,
                                  heightText, Tool::quote(outPath));
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
    const QString outPath = OutputPaths::claim(outDir + outputName(inPath, toMp4), inPath);
    m_inPath = inPath;
    m_outPath = outPath;
    m_ending->setInput(inPath);
    m_ending->setOutput(outPath);

    if (!m_ffmpeg) { // a probe-only instance has nothing to run
        m_ending->fail("no ffmpeg to run");
        return outPath;
    }
    if (!QFile::exists(inPath)) {
        Tool::writeLog("file not exist");
        failLater("input missing");
        return outPath;
    }
    if (!QFileInfo(inPath).isFile()) { // a pipe or a device would hold ffmpeg, and never end
        failLater("the input is not a plain file");
        return outPath;
    }
    // ffmpeg writes under a name of the job's own; the result takes the output's name once it is whole.
    const QString folder = TempFolder::jobFolder("video");
    if (folder.isEmpty()) {
        failLater("cannot make a folder in " + PlatformConstants::tempFolder());
        return outPath;
    }
    m_ending->addIntermediate(folder);
    m_written = folder + "/video." + QFileInfo(outPath).suffix().toLower();
    // One read of the source's facts serves the progress, the command and the check of the result.
    const MediaStreams source = getMediaStreams(inPath);
    m_totalFrames = source.frameCount;
    m_keptAudio = audioTracksHeld(containerFor(inPath, toMp4), source.audioCount);
    m_command = commandFor(inPath, toMp4, m_written, param, source);
    // ffmpeg reads the source through first, as the result will be read, for how long it plays and
    // how many frames it holds, however late its streams start; the compression follows.
    m_reader->setTimeLimit(PlayingTime::timeLimitFor(inPath));
    m_reader->start(PlayingTime::command(inPath));
    return outPath;
}

void VideoCompressCore::onSourceRead(ToolProcess::End end, int exitCode)
{
    // Unknown when ffmpeg cannot read it through: the result is then held to no length.
    const PlayingTime played = end == ToolProcess::End::Exited && exitCode == 0
                                   ? PlayingTime::fromOutput(m_reader->process()->readAllStandardOutput())
                                   : PlayingTime();
    m_sourceDuration = played.milliseconds();
    // The library counts a pause before the first frame as frames too, the reading frames that an edit
    // list leaves out: what plays is no more than either.
    if (played.frames() > 0 && (m_totalFrames <= 0 || played.frames() < m_totalFrames))
        m_totalFrames = played.frames();
    m_ffmpeg->start(m_command);
}

void VideoCompressCore::failLater(const QString& reason)
{
    // Told after the call has returned, as every other end of a run is.
    QTimer::singleShot(0, this, [this, reason] { m_ending->fail(reason); });
}

ToolCommand VideoCompressCore::commandFor(const QString& inPath, bool toMp4, const QString& outPath,
                                          const VideoCompressParam& param, const MediaStreams& streams) const
{
    const QString codec = codecFor(inPath, toMp4);
    const QString container = containerFor(inPath, toMp4);
    logLeftOut(inPath, container, streams);
    return ffmpegCommand(m_ffmpegPath, inPath, outPath, codec, param.crf, targetSize(param, streams.rotation),
                         streamArguments(container, codec, streams), deinterlaceFilter(streams));
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

void VideoCompressCore::slot_readFOutput()
{
    const QByteArray output = m_ffmpeg->process()->readAll();
    if (output.isEmpty())
        return;
    m_pending += output;
    consumeLines(false);
    // Told once the lines are consumed: the failure stops ffmpeg, whose last output may come meanwhile.
    if (!m_errorLine.isEmpty())
        m_ending->fail(m_errorLine);
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
            handleSegment(m_segment, line, marker);
            m_segment.clear();
        }
    }
    m_pending.remove(0, start);

    if (atExit && !m_pending.isEmpty()) { // a last line without its line end
        const QByteArray line = m_pending;
        m_pending.clear();
        m_segment += line;
        const Marker marker = markerOf(line);
        if (marker != Marker::None)
            handleSegment(m_segment, line, marker);
        m_segment.clear();
    }
}

void VideoCompressCore::handleSegment(const QByteArray& segment, const QByteArray& markerLine, Marker marker)
{
    if (m_ending->isOver() || m_done || !m_errorLine.isEmpty())
        return; // after the end block or a failure nothing more is reported
    const int frame = parseFrame(segment);
    switch (marker) {
    case Marker::Continue:
        m_ending->progress(progressFor(frame, false), m_outPath);
        break;
    case Marker::End:
        // The final report waits for ffmpeg's exit: an end block followed by a failing exit (a
        // full disk, a write error) is a failure, not a result.
        m_done = true;
        m_endFrame = frame;
        break;
    case Marker::Error:
        m_errorLine = QString::fromLocal8Bit(markerLine).trimmed();
        break;
    case Marker::None:
        break;
    }
}

float VideoCompressCore::progressFor(int frame, bool finished) const
{
    if (m_totalFrames <= 0) // frame count unknown: no ratio to give
        return finished ? 1.0f : 0.0f;
    // The library's frame count of a variable-rate stream may be an estimate: never past the end.
    return static_cast<float>(qMin(1.0, static_cast<double>(frame) / m_totalFrames));
}

void VideoCompressCore::onFfmpegEnded(ToolProcess::End end, int exitCode)
{
    m_pending += m_ffmpeg->process()->readAll();
    consumeLines(true);
    if (!m_errorLine.isEmpty()) {
        m_ending->fail(m_errorLine);
        return;
    }
    // Failed to start, crashed, or stopped for its silence: no result, whatever it printed.
    const QString failure = m_ffmpeg->failure(end, exitCode);
    if (!failure.isEmpty()) {
        m_ending->fail(failure);
        return;
    }
    if (!m_done) {
        m_ending->fail("ffmpeg ended without its end block");
        return;
    }

    // A whole video takes the output's name; one kept in its container comes back no larger than it
    // was given. A source cut off (a recording whose battery ran out) was read through as far as it
    // goes, so its result is held to what plays of it.
    const double duration = m_sourceDuration;
    const int audioStreams = m_keptAudio;
    const std::shared_ptr<BlockingToolRun> reader = m_resultReader;
    m_settler->settle("video", m_inPath, m_written, m_outPath,
                      [duration, audioStreams, reader](const QString& written) {
                          return ResultCheck::video(written, duration, audioStreams, reader.get());
                      });
}

void VideoCompressCore::onSettled(const SmallerResult& result)
{
    if (result.failed()) {
        m_ending->fail(result.failure());
        return;
    }
    // The name may have been taken by another program meanwhile: the report names the file written.
    m_outPath = result.path();
    m_ending->setOutput(m_outPath);
    m_ending->succeed(static_cast<float>(result.rate()), progressFor(m_endFrame, true));
}
