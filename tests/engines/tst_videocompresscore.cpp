#include <cmath>
#include <utility>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "OddNames.h"
#include "PlatformConstants.h"
#include "ProgressReport.h"
#include "SampleFiles.h"
#include "TestEnv.h"
#include "Tool.h"
#include "VideoCompressCore.h"

namespace
{
// The test clip; an AVI gets PCM sound, which that container takes.
bool makeClip(const QString& path)
{
    return SampleFiles::makeClip(path,
                                 path.endsWith(".avi") ? QStringList{"-c:a", "pcm_s16le"} : QStringList());
}

// "codec,width,height" of the first video stream, as ffprobe reads it.
QString probeVideo(const QString& path)
{
    QByteArray output;
    const int code = TestEnv::runTool("ffprobe",
                                      {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                       "stream=codec_name,width,height", "-of", "csv=p=0", path},
                                      &output);
    return code == 0 ? QString::fromUtf8(output).trimmed() : QString("ffprobe exit %1").arg(code);
}

// A source made by ffmpeg from `arguments` (inputs and codecs) into `path`; each stream losslessly
// coded or raw, so that a compressed result is always smaller.
bool makeSource(const QString& path, const QStringList& arguments)
{
    return TestEnv::runTool("ffmpeg", QStringList{"-v", "error", "-y"} + arguments + QStringList{path}) == 0;
}

// What a player sees in a video: "audio" and "subtitle" (track counts), "creation_time", and of the
// picture "pix_fmt", "tag", "sar" (pixel shape) and "aspect" (displayed width / height, rotation and
// pixel shape applied).
QMap<QString, QString> probeFacts(const QString& path)
{
    QByteArray output;
    TestEnv::runTool("ffprobe",
                     {"-v", "error", "-show_entries",
                      "stream=codec_type,codec_tag_string,pix_fmt,width,height,sample_aspect_ratio,"
                      "field_order:stream_disposition=attached_pic:stream_side_data=rotation:"
                      "format_tags=creation_time",
                      "-of", "json", path},
                     &output);
    const QJsonObject root = QJsonDocument::fromJson(output).object();
    QMap<QString, QString> facts{{"audio", "0"}, {"subtitle", "0"}};
    facts["creation_time"] = root["format"].toObject()["tags"].toObject()["creation_time"].toString();
    for (const QJsonValue& value : root["streams"].toArray()) {
        const QJsonObject stream = value.toObject();
        QString type = stream["codec_type"].toString();
        if (stream["disposition"].toObject()["attached_pic"].toInt() == 1)
            type = "cover";
        if (type != "video") {
            facts[type] = QString::number(facts.value(type).toInt() + 1);
            continue;
        }
        facts["field_order"] = stream["field_order"].toString();
        facts["pix_fmt"] = stream["pix_fmt"].toString();
        facts["tag"] = stream["codec_tag_string"].toString();
        facts["sar"] = stream["sample_aspect_ratio"].toString("1:1");
        const QStringList sar = facts["sar"].split(':');
        const double shape =
            sar.value(0).toDouble() > 0 ? sar.value(0).toDouble() / sar.value(1).toDouble() : 1.0;
        double width = stream["width"].toDouble() * shape;
        double height = stream["height"].toDouble();
        for (const QJsonValue& side : stream["side_data_list"].toArray()) {
            if (qAbs(side.toObject()["rotation"].toInt()) % 180 == 90)
                std::swap(width, height);
        }
        facts["aspect"] = QString::number(height > 0 ? width / height : 0.0, 'f', 4);
    }
    return facts;
}

int countFrames(const QString& path)
{
    QByteArray output;
    TestEnv::runTool("ffprobe",
                     {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                      "stream=nb_read_frames", "-of", "csv=p=0", path},
                     &output);
    return output.trimmed().toInt();
}

// Pixels per row, in the middle rows of frame 12, that are neither near black nor near white: a
// white box moving over black shows a clean edge when the frame holds one moment, and a grey band
// when it mixes the two of an interlaced frame's fields.
double mixedPixelsPerRow(const QString& path, const QString& framePath)
{
    if (TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-i", path, "-vf", "select=eq(n\\,12)", "-frames:v",
                                    "1", "-pix_fmt", "gray", framePath}) != 0)
        return -1;
    const QImage frame(framePath);
    int mixed = 0;
    const int rows = frame.height() / 2;
    for (int y = frame.height() / 4; y < frame.height() / 4 + rows; ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const int grey = qGray(frame.pixel(x, y));
            mixed += grey > 40 && grey < 215 ? 1 : 0;
        }
    }
    return rows > 0 ? double(mixed) / rows : -1;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("cannot read " + path.toUtf8());
}

// Shell lines for a stand-in for ffmpeg that leave a copy of `video` where ffmpeg writes (the argument
// before "-y"), as a real run leaves a whole result there.
QByteArray writesCopyOf(const QString& video)
{
    return "for a; do [ \"$a\" = -y ] && out=$prev; prev=$a; done; cp '" + video.toUtf8() + "' \"$out\"\n";
}

// A stand-in for ffmpeg: a shell script that prints `body`'s output whatever it is given.
QString makeScript(const QTemporaryDir& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}
} // namespace

class VideoCompressCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void targetSize_data();
    void targetSize();
    void commandTextAndArguments();

    void compress_data();
    void compress();

    void streamArguments_data();
    void streamArguments();
    void keepsWhatTheSourceHolds_data();
    void keepsWhatTheSourceHolds();

    void corruptInputFailsOnce();
    void missingInputFailsOnce();
    void missingFfmpegFailsOnce();

    void scriptedOutput_data();
    void scriptedOutput();
    void silentFfmpegIsStopped();
    void unknownFrameCountGivesFiniteProgress();
    void oddNames_data();
    void oddNames();

private:
    VideoCompressParam paramFor(const QString& path, float scale, int crf);

    QTemporaryDir m_dir;
    QString m_clip; // clip.mp4, 25 frames
};

void VideoCompressCoreTest::initTestCase()
{
    VX_REQUIRE_TOOL("ffmpeg");
    VX_REQUIRE_TOOL("ffprobe");
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    g_infoJsonPath = m_dir.filePath("info.json");

    for (const QString& name :
         {QString("clip.avi"), QString("clip.mp4"), QString("clip.mkv"), QString("clip.mov"),
          QString("two.dots.avi"), QString::fromUtf8("视频 样本.mp4")})
        QVERIFY2(makeClip(m_dir.filePath(name)), qPrintable(name));
    m_clip = m_dir.filePath("clip.mp4");
    QVERIFY(QDir(m_dir.path()).mkpath("fake")); // where the stand-ins' results go

    // Sources of the kinds people have: a portrait phone video (stored landscape, turned by its
    // rotation), a film with two sound tracks and a subtitle, a dated clip, a variable frame rate,
    // screen recordings in 4:4:4.
    const QStringList picture{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=1"};
    const QStringList lossless{"-c:v", "libx264", "-qp", "0"};
    QFile subtitle(m_dir.filePath("one.srt"));
    QVERIFY(subtitle.open(QIODevice::WriteOnly));
    subtitle.write("1\n00:00:00,000 --> 00:00:00,800\nHello\n");
    subtitle.close();
    QVERIFY(
        makeSource(m_dir.filePath("landscape.mp4"),
                   QStringList{"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=1"} + lossless));
    QVERIFY(makeSource(m_dir.filePath("portrait.mp4"), {"-i", m_dir.filePath("landscape.mp4"), "-c", "copy",
                                                        "-metadata:s:v:0", "rotate=90"}));
    QVERIFY(makeSource(m_dir.filePath("tracks.mkv"),
                       picture +
                           QStringList{"-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-f", "lavfi",
                                       "-i", "sine=frequency=660:duration=1", "-i", m_dir.filePath("one.srt"),
                                       "-map", "0", "-map", "1", "-map", "2", "-map", "3"} +
                           lossless + QStringList{"-c:a", "pcm_s16le", "-c:s", "srt"}));
    QVERIFY(makeSource(m_dir.filePath("dated.mp4"),
                       picture + lossless +
                           QStringList{"-metadata", "creation_time=2021-05-01T10:20:30.000000Z"}));
    // 180 frames: 90 at 30 per second, then 90 at 5 per second.
    QVERIFY(
        makeSource(m_dir.filePath("variable.mp4"),
                   QStringList{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=30", "-frames:v", "180", "-vf",
                               "setpts='if(lt(N,90),N/30,3+(N-90)/5)/TB'", "-fps_mode", "passthrough"} +
                       lossless));
    QVERIFY(
        makeSource(m_dir.filePath("screen444.mkv"), picture + lossless + QStringList{"-pix_fmt", "yuv444p"}));
    QVERIFY(makeSource(m_dir.filePath("screen444-10bit.mkv"),
                       picture + lossless + QStringList{"-pix_fmt", "yuv444p10le"}));
    // A TV recording: MPEG-2, 720 x 576, top field first, whose two fields show a white box 12 pixels
    // apart.
    QVERIFY(makeSource(m_dir.filePath("interlaced.mp4"),
                       {"-f",
                        "lavfi",
                        "-i",
                        "color=black:size=720x576:rate=50",
                        "-f",
                        "lavfi",
                        "-i",
                        "color=white:size=100x576:rate=50",
                        "-filter_complex",
                        "[0][1]overlay=x='mod(n*12,600)':y=0,interlace=scan=tff,setfield=tff",
                        "-frames:v",
                        "25",
                        "-c:v",
                        "mpeg2video",
                        "-q:v",
                        "1",
                        "-g",
                        "1",
                        "-flags",
                        "+ildct+ilme",
                        "-top",
                        "1"}));
    // An MP4 with cover art, and a Matroska film whose styled subtitles name a font it carries.
    QVERIFY(makeSource(m_dir.filePath("cover.jpg"),
                       {"-f", "lavfi", "-i", "color=red:size=64x64", "-frames:v", "1"}));
    QVERIFY(makeSource(m_dir.filePath("cover.mp4"),
                       picture + QStringList{"-i", m_dir.filePath("cover.jpg"), "-map", "0", "-map", "1",
                                             "-c:v:0", "libx264", "-qp", "0", "-c:v:1", "copy",
                                             "-disposition:v:1", "attached_pic"}));
    QFile styled(m_dir.filePath("styled.ass"));
    QVERIFY(styled.open(QIODevice::WriteOnly));
    styled.write("[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize\n"
                 "Style: Default,Vornex Test Sans,20\n\n[Events]\nFormat: Layer, Start, End, Style, Text\n"
                 "Dialogue: 0,0:00:00.00,0:00:00.80,Default,Hello\n");
    styled.close();
    QFile font(m_dir.filePath("VornexTestSans.ttf")); // what the subtitles name, carried as it is
    QVERIFY(font.open(QIODevice::WriteOnly));
    font.write(QByteArray(4096, '\x5a'));
    font.close();
    QVERIFY(makeSource(m_dir.filePath("fonts.mkv"),
                       picture + QStringList{"-i", m_dir.filePath("styled.ass"), "-map", "0", "-map", "1"} +
                           lossless +
                           QStringList{"-c:s", "ass", "-attach", font.fileName(), "-metadata:s:t:0",
                                       "mimetype=application/x-truetype-font"}));
}

void VideoCompressCoreTest::init()
{
    QFile::remove(Tool::logFilePath());
}

VideoCompressParam VideoCompressCoreTest::paramFor(const QString& path, float scale, int crf)
{
    VideoCompressCore probe(nullptr);
    const VideoInfo info = probe.videoInfo(path);
    VideoCompressParam param;
    param.width = info.width;
    param.height = info.height;
    param.scale = scale;
    param.crf = crf;
    return param;
}

void VideoCompressCoreTest::targetSize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("scale");
    QTest::addColumn<int>("rotation");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("one side off, both raised") << 1000 << 563 << 1.0f << 0 << QSize(1010, 570);
    QTest::newRow("1280x720 at 0.7") << 1280 << 720 << 0.7f << 0 << QSize(900, 510);
    QTest::newRow("1920x1080 at 0.5 unchanged") << 1920 << 1080 << 0.5f << 0 << QSize(960, 540);
    QTest::newRow("1920x1080 at 0.7") << 1920 << 1080 << 0.7f << 0 << QSize(1350, 760);
    QTest::newRow("unknown size stays 0") << 0 << 0 << 0.8f << 0 << QSize(0, 0);
    QTest::newRow("160x120 at 0.7") << 160 << 120 << 0.7f << 0 << QSize(120, 90);
    QTest::newRow("2x2: 16x16, the fewest x265 encodes") << 2 << 2 << 1.0f << 0 << QSize(16, 16);
    QTest::newRow("rotated 90: sides change places") << 640 << 360 << 0.5f << 90 << QSize(180, 320);
    QTest::newRow("rotated 270 at 0.7") << 1920 << 1080 << 0.7f << 270 << QSize(760, 1350);
    QTest::newRow("rotated 180: as stored") << 1280 << 720 << 0.7f << 180 << QSize(900, 510);
}

void VideoCompressCoreTest::targetSize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, scale);
    QFETCH(int, rotation);
    QFETCH(QSize, expected);
    VideoCompressParam param;
    param.width = width;
    param.height = height;
    param.scale = scale;
    QCOMPARE(VideoCompressCore::targetSize(param, rotation), expected);
    if (rotation == 0) // no rotation: the size as it always was
        QCOMPARE(VideoCompressCore::targetSize(param), expected);
}

void VideoCompressCoreTest::commandTextAndArguments()
{
    const QString in = "/videos/my %2 clip.avi";
    const QString out = "/videos/c_my %2 clip.avi";
    const ToolCommand command =
        VideoCompressCore::ffmpegCommand("/opt/ff/ffmpeg", in, out, "libx264", 27, QSize(900, 510));
    QCOMPARE(command.text(),
             QString("\"/opt/ff/ffmpeg\" -i \"/videos/my %2 clip.avi\" -vcodec libx264 -crf 27 "
                     "-vf \"scale=900:510\" -acodec aac -threads 5 -preset ultrafast "
                     "\"/videos/c_my %2 clip.avi\"  -y -progress pipe:1"));
    QCOMPARE(command.program(), QString("/opt/ff/ffmpeg"));
    QCOMPARE(command.arguments(), (QStringList{"-i", in, "-vcodec", "libx264", "-crf", "27", "-filter:v:0",
                                               "scale=900:510", "-acodec", "aac", "-threads", "5", "-preset",
                                               "ultrafast", out, "-y", "-progress", "pipe:1"}));

    // The output choices go before the output; the logged text keeps its form.
    const ToolCommand chosen = VideoCompressCore::ffmpegCommand("/opt/ff/ffmpeg", in, out, "libx264", 27,
                                                                QSize(900, 510), {"-map", "0:V:0"});
    QCOMPARE(chosen.text(), command.text());
    QCOMPARE(chosen.arguments().mid(14, 3), (QStringList{"-map", "0:V:0", out}));
}

void VideoCompressCoreTest::compress_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("toMp4");
    QTest::addColumn<QString>("outputName");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<bool>("copied"); // the result was not smaller, so the input came back
    QTest::newRow("avi kept") << "clip.avi" << false << "c_clip.avi"
                              << "h264" << false;
    QTest::newRow("avi to mp4") << "clip.avi" << true << "c_clip.mp4"
                                << "hevc" << false;
    // The clip's Vorbis sound takes more room as AAC: the result outgrows the input.
    QTest::newRow("mkv kept") << "clip.mkv" << false << "c_clip.mkv"
                              << "h264" << true;
    QTest::newRow("mov kept") << "clip.mov" << false << "c_clip.mov"
                              << "hevc" << false;
    QTest::newRow("mp4 kept") << "clip.mp4" << false << "c_clip.mp4"
                              << "hevc" << false;
    QTest::newRow("base name to mp4") << "two.dots.avi" << true << "c_two.mp4"
                                      << "hevc" << false;
    QTest::newRow("two dots kept") << "two.dots.avi" << false << "c_two.dots.avi"
                                   << "h264" << false;
    QTest::newRow("chinese name") << QString::fromUtf8("视频 样本.mp4") << false
                                  << QString::fromUtf8("c_视频 样本.mp4") << "hevc" << false;
}

void VideoCompressCoreTest::compress()
{
    QFETCH(QString, input);
    QFETCH(bool, toMp4);
    QFETCH(QString, outputName);
    QFETCH(QString, codec);
    QFETCH(bool, copied);
    const QString in = m_dir.filePath(input);
    const QString outDir = m_dir.filePath(QString("out-%1/").arg(QTest::currentDataTag()).replace(' ', '-'));
    QVERIFY(QDir().mkpath(outDir));

    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(in, toMp4, outDir, paramFor(in, 0.7f, 31));
    QCOMPARE(out, outDir + outputName);
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), 30000);

    // Progress reports, each finite and never going back, then one final report.
    QVERIFY(spy.size() >= 2);
    float previous = 0.0f;
    for (int i = 0; i < spy.size() - 1; ++i) {
        const ProgressReport report = ProgressReport::at(spy, i);
        QVERIFY(std::isfinite(report.progress));
        QVERIFY2(report.progress >= previous, qPrintable(QString("report %1 went back").arg(i)));
        QVERIFY(!report.stat);
        QCOMPARE(report.filePath, out);
        QCOMPARE(report.rate, 0.0f);
        previous = report.progress;
    }
    const ProgressReport last = ProgressReport::last(spy);
    QVERIFY(last.stat);
    QCOMPARE(last.filePath, out);
    QVERIFY2(last.progress >= previous && qAbs(last.progress - 1.0f) <= 0.05f,
             qPrintable(QString::number(last.progress)));
    if (copied) {
        QCOMPARE(last.rate, 1.0f);
        QCOMPARE(readAll(out), readAll(in));
        QCOMPARE(probeVideo(out), QString("%1,160,120").arg(codec));
        QCOMPARE(TestEnv::logLines(),
                 QStringList(QString("video compress %1: the result is not smaller, kept a copy").arg(in)));
        return;
    }
    const float rate = float(QFileInfo(out).size()) / float(QFileInfo(in).size());
    QVERIFY(rate > 0.0f);
    QCOMPARE(last.rate, rate);

    QCOMPARE(probeVideo(out), QString("%1,120,90").arg(codec));
    QCOMPARE(TestEnv::logLines(), QStringList());
}

void VideoCompressCoreTest::streamArguments_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("bitDepth");
    QTest::addColumn<int>("audio");
    QTest::addColumn<QStringList>("subtitles");
    QTest::addColumn<QStringList>("expected");

    const QStringList tail{"-map_metadata", "0", "-fps_mode", "passthrough", "-pix_fmt"};
    QTest::newRow("mkv: every subtitle as it is")
        << "mkv"
        << "libx265" << 8 << 2 << QStringList{"PGS", "UTF-8"}
        << QStringList{"-map", "0:V:0", "-map", "0:a?", "-map", "0:s?", "-c:s", "copy", "-map", "0:t?"} +
               tail + QStringList{"yuv420p"};
    QTest::newRow("mp4: text subtitles only, tagged hvc1")
        << "mp4"
        << "libx265" << 10 << 2 << QStringList{"PGS", "UTF-8", "ASS"}
        << QStringList{"-map",   "0:V:0", "-map",   "0:a?", "-map",
                       "0:s:1?", "-map",  "0:s:2?", "-c:s", "mov_text"} +
               tail + QStringList{"yuv420p10le", "-tag:v:0", "hvc1"};
    QTest::newRow("mov: picture subtitles left out")
        << "mov"
        << "libx265" << 8 << 1 << QStringList{"VobSub"}
        << QStringList{"-map", "0:V:0", "-map", "0:a?"} + tail + QStringList{"yuv420p", "-tag:v:0", "hvc1"};
    QTest::newRow("flv: one sound track")
        << "flv"
        << "libx264" << 8 << 2 << QStringList()
        << QStringList{"-map", "0:V:0", "-map", "0:a:0?"} + tail + QStringList{"yuv420p"};
    QTest::newRow("avi: no subtitles, no tag")
        << "avi"
        << "libx264" << 12 << 2 << QStringList{"UTF-8"}
        << QStringList{"-map", "0:V:0", "-map", "0:a?"} + tail + QStringList{"yuv420p10le"};
}

void VideoCompressCoreTest::streamArguments()
{
    QFETCH(QString, container);
    QFETCH(QString, codec);
    QFETCH(int, bitDepth);
    QFETCH(int, audio);
    QFETCH(QStringList, subtitles);
    QFETCH(QStringList, expected);
    MediaStreams streams;
    streams.bitDepth = bitDepth;
    streams.audioCount = audio;
    streams.subtitleFormats = subtitles;
    QCOMPARE(VideoCompressCore::streamArguments(container, codec, streams), expected);
}

void VideoCompressCoreTest::keepsWhatTheSourceHolds_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("toMp4");
    QTest::addColumn<QStringList>("expected"); // "fact=value" as probeFacts gives it; "frames=n" within 10 %

    QTest::newRow("portrait phone video stays portrait")
        << "portrait.mp4" << false << QStringList{"aspect=0.5625", "sar=1:1"};
    QTest::newRow("landscape video stays landscape")
        << "landscape.mp4" << false << QStringList{"aspect=1.7778", "sar=1:1"};
    QTest::newRow("mkv keeps both sound tracks and the subtitle")
        << "tracks.mkv" << false << QStringList{"audio=2", "subtitle=1"};
    QTest::newRow("mp4 made from it keeps them too")
        << "tracks.mkv" << true << QStringList{"audio=2", "subtitle=1"};
    QTest::newRow("recorded date kept")
        << "dated.mp4" << false << QStringList{"creation_time=2021-05-01T10:20:30.000000Z"};
    QTest::newRow("variable frame rate keeps its frames")
        << "variable.mp4" << false << QStringList{"frames=180"};
    QTest::newRow("4:4:4 made into mp4 plays")
        << "screen444.mkv" << true << QStringList{"pix_fmt=yuv420p", "tag=hvc1"};
    QTest::newRow("10-bit 4:4:4 stays 10-bit")
        << "screen444-10bit.mkv" << true << QStringList{"pix_fmt=yuv420p10le", "tag=hvc1"};
    QTest::newRow("interlaced clip comes back in whole frames")
        << "interlaced.mp4" << false << QStringList{"field_order=progressive", "mixed=no", "frames=25"};
    QTest::newRow("mp4 keeps its cover art") << "cover.mp4" << false << QStringList{"cover=1"};
    QTest::newRow("mkv keeps styled subtitles and their font")
        << "fonts.mkv" << false << QStringList{"subtitle=1", "attachment=1"};
}

void VideoCompressCoreTest::keepsWhatTheSourceHolds()
{
    QFETCH(QString, input);
    QFETCH(bool, toMp4);
    QFETCH(QStringList, expected);
    const QString in = m_dir.filePath(input);
    const QString outDir =
        m_dir.filePath(QString("keeps-%1/").arg(QTest::currentDataTag()).replace(' ', '-'));
    QVERIFY(QDir().mkpath(outDir));

    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(in, toMp4, outDir, paramFor(in, 0.5f, 28));
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), 60000);

    QVERIFY(ProgressReport::last(spy).stat);
    for (int i = 0; i < spy.size(); ++i)
        QVERIFY2(ProgressReport::at(spy, i).progress <= 1.0f,
                 qPrintable(QString::number(ProgressReport::at(spy, i).progress)));
    // A real encode, not the copy of the input that a result no smaller would give way to.
    QVERIFY2(QFileInfo(out).size() < QFileInfo(in).size(),
             qPrintable(QString::number(QFileInfo(out).size())));
    QVERIFY(ProgressReport::last(spy).rate < 1.0f);
    QCOMPARE(TestEnv::logLines(), QStringList());

    const QMap<QString, QString> facts = probeFacts(out);
    for (const QString& fact : expected) {
        const QString key = fact.section('=', 0, 0);
        const QString value = fact.section('=', 1);
        if (key == "mixed") {
            const double mixed = mixedPixelsPerRow(out, outDir + "frame.pgm");
            QVERIFY2(mixed >= 0 && (mixed > 5) == (value == "yes"), qPrintable(QString::number(mixed)));
        } else if (key == "frames") {
            const int frames = countFrames(out);
            QVERIFY2(qAbs(frames - value.toInt()) <= value.toInt() / 10, qPrintable(QString::number(frames)));
        } else if (key == "aspect") {
            // The sides are raised to multiples of 10, which bends the aspect a little.
            QVERIFY2(qAbs(facts.value(key).toDouble() - value.toDouble()) < 0.03,
                     qPrintable(facts.value(key)));
        } else {
            QCOMPARE(facts.value(key), value);
        }
    }
}

void VideoCompressCoreTest::corruptInputFailsOnce()
{
    const QString in = m_dir.filePath("broken.mp4");
    QFile file(in);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4096; ++i)
        file.write(QByteArray::number(i * 7919 % 251));
    file.close();

    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(in, false, m_dir.path() + "/", paramFor(in, 1.0f, 24));
    QVERIFY(spy.wait(30000));
    QVERIFY(!spy.wait(500)); // nothing after the failure
    QCOMPARE(spy.size(), 1);
    const ProgressReport report = ProgressReport::at(spy, 0);
    QCOMPARE(report.progress, -1.0f);
    QCOMPARE(report.stat, false);
    QCOMPARE(report.filePath, QString()); // a failure has no output
    QCOMPARE(report.rate, 0.0f);
    QVERIFY(!QFile::exists(out));
    const QStringList log = TestEnv::logLines();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log[0].startsWith("video compress fail " + in + ": "), qPrintable(log[0]));
}

void VideoCompressCoreTest::missingInputFailsOnce()
{
    const QString in = m_dir.filePath("no such clip.mp4");
    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(in, true, m_dir.path() + "/", VideoCompressParam());
    QCOMPARE(out, m_dir.path() + "/c_no such clip.mp4");
    QVERIFY(spy.wait(30000));
    QVERIFY(!spy.wait(500));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(ProgressReport::at(spy, 0).progress, -1.0f);
    QCOMPARE(TestEnv::logLines(),
             (QStringList{"file not exist", "video compress fail " + in + ": input missing"}));
    QVERIFY(!QFile::exists(out));
}

void VideoCompressCoreTest::missingFfmpegFailsOnce()
{
    VideoCompressCore engine(m_dir.filePath("no-ffmpeg/ffmpeg"), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(m_clip, false, m_dir.path() + "/", paramFor(m_clip, 1.0f, 24));
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 10000);
    QVERIFY(!spy.wait(500));
    const ProgressReport report = ProgressReport::at(spy, 0);
    QCOMPARE(report.progress, -1.0f);
    QCOMPARE(report.stat, false);
    QCOMPARE(report.filePath, QString());
    QVERIFY(!out.isEmpty());
    QCOMPARE(TestEnv::logLines(), QStringList{"video compress fail " + m_clip + ": cannot start " +
                                              m_dir.filePath("no-ffmpeg/ffmpeg")});
}

void VideoCompressCoreTest::scriptedOutput_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QList<float>>("progress"); // -1 marks the failure report
    QTest::addColumn<QList<bool>>("stat");
    QTest::addColumn<QStringList>("log");

    const QString fail = "video compress fail %1: ";
    // The stand-in's result is a copy of the input, so not smaller: the input is kept.
    const QStringList kept{"video compress %1: the result is not smaller, kept a copy"};
    QTest::newRow("two blocks in one read")
        << QByteArray("printf 'frame=5\\nprogress=continue\\nframe=25\\nprogress=end\\n'")
        << QList<float>{0.2f, 1.0f} << QList<bool>{false, true} << kept;
    QTest::newRow("end marker split between reads")
        << QByteArray(
               "printf 'frame=20\\nprogress=continue\\nframe=25\\nprogress=e'; sleep 0.3; printf 'nd\\n'")
        << QList<float>{0.8f, 1.0f} << QList<bool>{false, true} << kept;
    QTest::newRow("marker text in an echoed file name")
        << QByteArray(
               "printf \"Input #0, mov, from 'a=end.mp4':\\n\" >&2; sleep 0.2; "
               "printf 'frame=10\\nprogress=continue\\n'; sleep 0.2; printf 'frame=25\\nprogress=end\\n'")
        << QList<float>{0.4f, 1.0f} << QList<bool>{false, true} << kept;
    QTest::newRow("status line frame with blanks")
        << QByteArray("printf 'frame=   12 fps=0.0\\r'; sleep 0.2; printf 'progress=continue\\n'; sleep 0.2; "
                      "printf 'frame=25\\nprogress=end\\n'")
        << QList<float>{0.0f, 1.0f} << QList<bool>{false, true} << kept;
    QTest::newRow("end then a failing exit")
        << QByteArray("printf 'frame=25\\nprogress=end\\n'; exit 1") << QList<float>{-1.0f}
        << QList<bool>{false} << QStringList{fail + "exit code 1"};
    QTest::newRow("error initializing, then more output")
        << QByteArray("printf 'Error initializing output stream 0:0 --\\n' >&2; sleep 0.2; "
                      "printf 'frame=3\\nprogress=continue\\n'; exit 1")
        << QList<float>{-1.0f} << QList<bool>{false}
        << QStringList{fail + "Error initializing output stream 0:0 --"};
    QTest::newRow("exit without end")
        << QByteArray("printf 'frame=3\\nprogress=continue\\n'; exit 0") << QList<float>{0.12f, -1.0f}
        << QList<bool>{false, false} << QStringList{fail + "ffmpeg ended without its end block"};
    QTest::newRow("killed") << QByteArray("printf 'frame=3\\nprogress=continue\\n'; kill -9 $$")
                            << QList<float>{0.12f, -1.0f} << QList<bool>{false, false}
                            << QStringList{fail + "crashed"};
}

void VideoCompressCoreTest::scriptedOutput()
{
    QFETCH(QByteArray, script);
    QFETCH(QList<float>, progress);
    QFETCH(QList<bool>, stat);
    QFETCH(QStringList, log);
    const QString program = makeScript(m_dir, "fake-ffmpeg", writesCopyOf(m_clip) + script);
    QVERIFY(!program.isEmpty());

    VideoCompressCore engine(program, nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(m_clip, false, m_dir.path() + "/fake/", paramFor(m_clip, 1.0f, 24));
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), 60000);
    QVERIFY(!spy.wait(700)); // the script has ended; nothing more comes

    QCOMPARE(spy.size(), progress.size());
    for (int i = 0; i < spy.size(); ++i) {
        const ProgressReport report = ProgressReport::at(spy, i);
        QCOMPARE(report.progress, progress.at(i));
        QCOMPARE(report.stat, stat.at(i));
        QCOMPARE(report.filePath, report.progress < 0 ? QString() : out);
    }
    QStringList expectedLog;
    for (const QString& line : log)
        expectedLog << line.arg(m_clip);
    QCOMPARE(TestEnv::logLines(), expectedLog);
}

void VideoCompressCoreTest::silentFfmpegIsStopped()
{
    const QString program = makeScript(m_dir, "silent-ffmpeg", "exec sleep 30");
    VideoCompressCore engine(program, nullptr);
    engine.setStallTimeout(300);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    QElapsedTimer timer;
    timer.start();
    engine.compress(m_clip, false, m_dir.path() + "/fake/", paramFor(m_clip, 1.0f, 24));
    // The script sleeps for 30 s: an end within 20 s is the stall bound's.
    QVERIFY(spy.wait(20000));
    QVERIFY(timer.elapsed() < 20000);
    QVERIFY(!spy.wait(500));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(ProgressReport::at(spy, 0).progress, -1.0f);
    QCOMPARE(TestEnv::logLines(), QStringList{"video compress fail " + m_clip + ": went silent"});
}

void VideoCompressCoreTest::unknownFrameCountGivesFiniteProgress()
{
    // The library finds no frame count in a text file, so no ratio can be formed.
    const QString in = m_dir.filePath("notes.txt");
    QFile file(in);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a video\n");
    file.close();
    const QString silent = m_dir.filePath("silent.mp4");
    QVERIFY(SampleFiles::makeClip(silent, {"-an"})); // a text file has no sound to keep
    const QString program = makeScript(
        m_dir, "fake-ffmpeg",
        writesCopyOf(silent) +
            "printf 'frame=7\\nprogress=continue\\n'; sleep 0.2; printf 'frame=14\\nprogress=end\\n'");

    VideoCompressCore engine(program, nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    engine.compress(in, false, m_dir.path() + "/fake/", VideoCompressParam());
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), 60000);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(ProgressReport::at(spy, 0).progress, 0.0f);
    QCOMPARE(ProgressReport::at(spy, 0).stat, false);
    QCOMPARE(ProgressReport::at(spy, 1).progress, 1.0f);
    QCOMPARE(ProgressReport::at(spy, 1).stat, true);
}

void VideoCompressCoreTest::oddNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("toMp4");
    for (const QString& name : OddNames::baseNames())
        QTest::addRow("kept: %s", qPrintable(OddNames::tag(name))) << name + ".mp4" << false;
    // The output's name is made from the base name: one row for the other rule.
    QTest::newRow("to mp4: 20%d.x*y") << "20%d.x*y.mkv" << true;
}

void VideoCompressCoreTest::oddNames()
{
    QFETCH(QString, name);
    QFETCH(bool, toMp4);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(OddNames::makeNeighbours(folder.path()));
    const QString in = folder.filePath(name);
    QVERIFY(QFile::copy(m_dir.filePath(toMp4 ? "clip.mkv" : "clip.mp4"), in));
    const QMap<QString, QByteArray> before = OddNames::contentsOf(folder.path());

    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(in, toMp4, folder.path() + '/', paramFor(in, 1.0f, 28));
    const QString outName = "c_" + (toMp4 ? QFileInfo(in).baseName() + ".mp4" : name);
    QCOMPARE(out, folder.filePath(outName));
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), 30000);

    QVERIFY(ProgressReport::last(spy).stat);
    const QString differences = OddNames::differences(before, OddNames::contentsOf(folder.path()), outName);
    QVERIFY2(differences.isEmpty(), qPrintable(differences));
    QVERIFY2(probeVideo(out).endsWith(",160,120"), qPrintable(probeVideo(out)));
}

QTEST_GUILESS_MAIN(VideoCompressCoreTest)
#include "tst_videocompresscore.moc"
