#include <cmath>

#include <QDir>
#include <QFile>
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
    QTest::addColumn<QSize>("expected");
    QTest::newRow("one side off, both raised") << 1000 << 563 << 1.0f << QSize(1010, 570);
    QTest::newRow("1280x720 at 0.7") << 1280 << 720 << 0.7f << QSize(900, 510);
    QTest::newRow("1920x1080 at 0.5 unchanged") << 1920 << 1080 << 0.5f << QSize(960, 540);
    QTest::newRow("1920x1080 at 0.7") << 1920 << 1080 << 0.7f << QSize(1350, 760);
    QTest::newRow("unknown size stays 0") << 0 << 0 << 0.8f << QSize(0, 0);
    QTest::newRow("160x120 at 0.7") << 160 << 120 << 0.7f << QSize(120, 90);
}

void VideoCompressCoreTest::targetSize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, scale);
    QFETCH(QSize, expected);
    VideoCompressParam param;
    param.width = width;
    param.height = height;
    param.scale = scale;
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
    QCOMPARE(command.arguments(),
             (QStringList{"-i", in, "-vcodec", "libx264", "-crf", "27", "-vf", "scale=900:510", "-acodec",
                          "aac", "-threads", "5", "-preset", "ultrafast", out, "-y", "-progress", "pipe:1"}));
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
