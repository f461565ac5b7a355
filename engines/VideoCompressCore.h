#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QSize>
#include <QString>

#include "MediaInfoQueries.h"
#include "ToolCommand.h"
#include "ToolProcess.h"
#include "VideoCompressParam.h"
#include "VideoInfo.h"

class BlockingToolRun;
class JobEnding;
class ResultSettler;
class SmallerResult;

// The media-information JSON file ("<config>/Vornix/info.json"), set at program load.
extern QString g_infoJsonPath;

// Compresses one video through ffmpeg (constant-rate factor, scale filter, "-progress pipe:1")
// and turns ffmpeg's progress blocks into Progress reports; also reads a video's facts.
//
// The result holds the source's main picture as it is shown (a rotation of 90 or 270 degrees turns
// the target size), every sound track (an FLV one only), the subtitle tracks its container holds
// (one log line names how many were left out), an MP4's cover pictures in an MP4 and a Matroska file's
// attached files (fonts) in a Matroska file (a log line for those left out), the container's metadata
// with its recorded date, and every frame at its own time, an interlaced one made whole in its field
// order before it is scaled; its pixels are 4:2:0 (10 bits from a deeper source), and HEVC in MP4 or
// MOV is tagged "hvc1". Progress never passes 1. Before it compresses, ffmpeg reads the source through
// (PlayingTime): the result must play as long as that, and the progress counts the frames that play,
// however late the source's streams start.
//
// A missing input is logged ("file not exist") and reported as a failure without starting ffmpeg, and
// so is an input that is not a plain file. Reports: one (frame / frames, false, output, 0) per
// progress block, then exactly one final report (JobEnding): (frame ratio, true, output, output size /
// input size) when ffmpeg has printed its end block and exited cleanly and its result is whole
// (ResultCheck::video), or (-1, false, "", 0) with the log line "video compress fail <input>: <reason>"
// when it could not start, said "Error initializing", failed, crashed, stayed silent for too long or
// left an incomplete result; ffmpeg is then stopped. ffmpeg writes into a folder of the job's own,
// and only a whole result takes the output's name, so a failed or ended job leaves the output as it
// was. A video kept in its container whose result is not smaller than the input gets a copy of the
// input instead (SmallerResult), reported with rate 1.0; one made into an MP4 from another container
// stays as made. The output path comes from OutputPaths. cancel(), the destructor and
// RunningTools::endAll end a running ffmpeg at once, remove its files and send no further report.
class VideoCompressCore : public QObject
{
    Q_OBJECT
public:
    // The full engine, running the ffmpeg program at `ffmpegPath`.
    VideoCompressCore(QString ffmpegPath, QObject* parent);
    // A probe-only instance: videoInfo only.
    explicit VideoCompressCore(QObject* parent);
    ~VideoCompressCore() override;

    // Starts ffmpeg on `inPath` and returns the output path (in `outDir`, which ends in "/").
    QString compress(const QString& inPath, const bool& toMp4, const QString& outDir,
                     const VideoCompressParam& param);
    // Base name, path, width, height and duration of a video, plus what info.json holds.
    VideoInfo videoInfo(const QString& path);

    // "c_" + the base name + ".mp4" when converting to MP4, else "c_" + the whole file name.
    static QString outputName(const QString& inPath, bool toMp4);
    // libx264 for a kept WMV, FLV or AVI container, libx265 for everything else.
    static QString codecFor(const QString& inPath, bool toMp4);
    // Source size times scale, truncated; when either side is not a multiple of 10, both are
    // raised by 10 minus their remainder; a side below 16 pixels, the fewest x265 encodes, is raised
    // to 16 (0, the source's own size, stays).
    static QSize targetSize(const VideoCompressParam& param);
    // The same for the picture as it is shown: ffmpeg turns a video stored with a rotation of 90 or
    // 270 degrees upright, so its width and height change places first.
    static QSize targetSize(const VideoCompressParam& param, int rotation);
    // The output's container: "mp4" when converting to MP4, else the input's suffix in lower case.
    static QString containerFor(const QString& inPath, bool toMp4);
    // The output choices for a source of `streams`: the main picture, every sound track, the subtitle
    // tracks, cover pictures and attached files the container holds, the container's metadata, frames
    // passed on as they are timed, 4:2:0 pixels (10 bits for a deeper source) and, for HEVC in MP4 or
    // MOV, the "hvc1" tag.
    static QStringList streamArguments(const QString& container, const QString& codec,
                                       const MediaStreams& streams);
    // The ffmpeg run: program and arguments, and the command text they stand for. `choices` go
    // before the output in the arguments, and a `deinterlace` filter before the scale filter; the text
    // keeps its form without them.
    static ToolCommand ffmpegCommand(const QString& ffmpegPath, const QString& inPath, const QString& outPath,
                                     const QString& codec, int crf, const QSize& size,
                                     const QStringList& choices = QStringList(),
                                     const QString& deinterlace = QString());

    // How long ffmpeg may stay silent before it is taken as hung and stopped (default two minutes).
    void setStallTimeout(int milliseconds);

    // Ends a running compression now: ffmpeg killed, its files removed, the output as it was, no more
    // reports.
    void cancel();

signals:
    void sig_sendProgress(float progress, bool stat, QString filePath, float compRate);

public slots:
    void slot_readFOutput();

private:
    enum class Marker { None, Continue, End, Error };

    ToolCommand commandFor(const QString& inPath, bool toMp4, const QString& outPath,
                           const VideoCompressParam& param, const MediaStreams& streams) const;
    int parseFrame(const QByteArray& chunk);
    static Marker markerOf(const QByteArray& line);
    void consumeLines(bool atExit);
    void handleSegment(const QByteArray& segment, const QByteArray& markerLine, Marker marker);
    float progressFor(int frame, bool finished) const;
    void onSourceRead(ToolProcess::End end, int exitCode);
    void onFfmpegEnded(ToolProcess::End end, int exitCode);
    void onSettled(const SmallerResult& result);
    void failLater(const QString& reason);
    void stopTools();

    QString m_ffmpegPath;
    ToolProcess* m_ffmpeg = nullptr;
    ToolProcess* m_reader = nullptr;                 // ffmpeg reading the source through (PlayingTime)
    std::shared_ptr<BlockingToolRun> m_resultReader; // reads the result through on the settling thread
    ToolCommand m_command;                           // the compression, started once the source is read
    bool m_done = false;
    QString m_inPath;
    QString m_outPath;
    QString m_written;           // where ffmpeg writes, in the job's own folder
    double m_sourceDuration = 0; // how long the source plays, in milliseconds; 0 unknown
    int m_keptAudio = 0;         // the sound tracks a whole result holds
    int m_totalFrames = 0;       // the frames that play, for the progress

    JobEnding* m_ending = nullptr;
    ResultSettler* m_settler = nullptr; // the last step: never larger than the input
    int m_endFrame = 0;                 // frame number of ffmpeg's end block
    QString m_errorLine;                // ffmpeg's "Error initializing" line, once it has come
    QByteArray m_pending;               // output after the last line end
    QByteArray m_segment;               // lines since the last progress block
};
