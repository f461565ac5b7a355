// A result takes its name only when it is whole, and replaces only what this program wrote for the
// same input: a full disk, a link at the result's name, an input that is not a plain file and a
// program killed outright each leave the user's files as they were. Every kind, through the real
// engines and tools, on files the test makes.
#include <cmath>
#include <csignal>
#include <functional>
#include <memory>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "DocCompressCore.h"
#include "GifTiming.h"
#include "ImageCompressCore.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "MediaInfoQueries.h"
#include "OutputPaths.h"
#include "PathManager.h"
#include "PdfFactory.h"
#include "PlacedResults.h"
#include "PlatformConstants.h"
#include "PlayingTime.h"
#include "ProgressReport.h"
#include "ResultCheck.h"
#include "SampleFiles.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "VideoCompressCore.h"

namespace
{
const int kJobEndsWithinMs = 120000;
// Set in the copy of this program that the killed-program test starts and kills: the clip, and the
// folder for the copy's log.
const char* const kChildClip = "VX_WHOLE_RESULT_CHILD_CLIP";
const char* const kChildData = "VX_WHOLE_RESULT_CHILD_DATA";

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("cannot read " + path.toUtf8());
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// The name the engines give the result of "x.<suffix>".
QString resultName(const QString& suffix)
{
    return "c_x." + suffix;
}
} // namespace

class TestWholeResult : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void cutOffResultIsRefused_data();
    void cutOffResultIsRefused();
    void everyValidFilePasses_data();
    void everyValidFilePasses();
    void fullDiskKeepsTheEarlierResult_data();
    void fullDiskKeepsTheEarlierResult();
    void linkAtTheResultNameIsNeverFollowed_data();
    void linkAtTheResultNameIsNeverFollowed();
    void pipeAsInputFailsAtOnce_data();
    void pipeAsInputFailsAtOnce();
    void killedProgramLeavesNothingUnderTheResultName();
    void onlyTheProgramsOwnPlacedResultIsReplaced_data();
    void onlyTheProgramsOwnPlacedResultIsReplaced();
    void convertAtItsTimeLimitLeavesNoScratchFiles();

private:
    static void kinds();
    // A copy of the sample of `suffix` as "<folder>/x.<suffix>".
    QString input(const QString& folder, const QString& suffix) const;
    // Starts the job of `input` as the window does, writing into `outDir`; the engine is the job's.
    std::unique_ptr<QObject> start(const QString& input, const QString& outDir, QSignalSpy** spy) const;
    // The earlier result of `input` at `output`, as the program placed it; returns its bytes.
    static QByteArray recordEarlierResult(const QString& input, const QString& output);
    // Makes the source that a row of everyValidFilePasses names, at `path`.
    static bool makeSource(const QString& path);
    // The length of what plays of the film at `path`: of a whole copy of it, as the media library reads
    // it, in milliseconds.
    double playedLength(const QString& path) const;
    // That a job on a video starting at 10 s gave a whole result of its 3 s, and that a result cut
    // short, starting late as well, is refused.
    void checkLateStart(const QString& in, const ProgressReport& end, const QString& folder) const;
    bool mountTmpfs(const QString& folder, const QString& size);
    // Runs one picture job to its end, kept in its format or made into a JPG, and calls `meanwhile`
    // once the job is under way; the end report.
    static ProgressReport runPicture(const QString& input, bool toJpg,
                                     const std::function<void()>& meanwhile = {});
    void runChildJob();

    QTemporaryDir m_dir;
    QString m_samples;
};

void TestWholeResult::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (qEnvironmentVariableIsSet(kChildClip)) { // the child runs one job, on the clip it is given
        g_AppDataPath = qEnvironmentVariable(kChildData);
        QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
        return;
    }
    TestEnv::isolate(m_dir);
    QVERIFY(QDir::setCurrent(m_dir.path())); // the history is kept here
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    for (const char* tool : {"ffmpeg", "pngquant", "convert", "gifsicle", "mkfifo", "mount"})
        VX_REQUIRE_TOOL(tool);
    ThreadPool::instance()->start(2);
    m_samples = m_dir.filePath("samples");
    QVERIFY(QDir().mkpath(m_samples));
    for (const QString suffix : {"mp4", "gif", "png", "jpg", "pdf", "docx", "pptx"})
        QVERIFY2(SampleFiles::make(m_samples + "/x." + suffix, m_dir.filePath("work")), qPrintable(suffix));
}

void TestWholeResult::cleanupTestCase()
{
    ThreadPool::instance()->stop();
}

void TestWholeResult::init()
{
    OutputPaths::reset();
    QFile::remove(Tool::logFilePath());
}

void TestWholeResult::kinds()
{
    QTest::addColumn<QString>("suffix");
    for (const QString suffix : {"mp4", "gif", "png", "jpg", "pdf", "docx", "pptx"})
        QTest::newRow(qPrintable(suffix)) << suffix;
}

QString TestWholeResult::input(const QString& folder, const QString& suffix) const
{
    const QString path = folder + "/x." + suffix;
    QDir().mkpath(folder);
    return QFile::copy(m_samples + "/x." + suffix, path) ? path : QString();
}

std::unique_ptr<QObject> TestWholeResult::start(const QString& input, const QString& outDir,
                                                QSignalSpy** spy) const
{
    const QString suffix = QFileInfo(input).suffix();
    std::unique_ptr<QObject> engine;
    if (suffix == "mp4") {
        auto* video = new VideoCompressCore(PlatformConstants::ffmpegPath(), nullptr);
        engine.reset(video);
        *spy = new QSignalSpy(video, &VideoCompressCore::sig_sendProgress);
        const VideoInfo info = VideoCompressCore(nullptr).videoInfo(input);
        video->compress(input, false, outDir, {info.width, info.height, 1.0f, 28});
    } else if (suffix == "gif" || suffix == "png" || suffix == "jpg") {
        auto* image = new ImageCompressCore(PlatformConstants::pngquantPath(),
                                            PlatformConstants::convertProgram(), nullptr);
        engine.reset(image);
        *spy = new QSignalSpy(image, &ImageCompressCore::sig_sendProgress);
        image->setKeepFormat(true);
        if (suffix == "gif")
            image->compressGif(input, outDir, 80);
        else if (suffix == "png")
            image->compressPng(input, outDir, 10, 80);
        else
            image->compressJpg(input, outDir, 60);
    } else {
        auto* document = new DocCompressCore(PlatformConstants::compressionToolPath(),
                                             PlatformConstants::docToolPath(false));
        engine.reset(document);
        *spy = new QSignalSpy(document, &DocCompressCore::sig_sendProgress);
        const QString output = OutputPaths::claim(outDir + resultName(suffix), input);
        if (suffix == "pdf")
            document->compressPdf(input, output, 50);
        else
            document->compress(input, output, Smallest);
    }
    (*spy)->setParent(engine.get());
    return engine;
}

QByteArray TestWholeResult::recordEarlierResult(const QString& input, const QString& output)
{
    const QByteArray bytes = "the result of an earlier run of " + input.toUtf8();
    if (!write(output, bytes) || !PlacedResults::record(output, input))
        return QByteArray();
    return bytes;
}

bool TestWholeResult::mountTmpfs(const QString& folder, const QString& size)
{
    QDir().mkpath(folder);
    QByteArray said;
    return TestEnv::runTool("mount", {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder}, &said) == 0;
}

void TestWholeResult::cutOffResultIsRefused_data()
{
    kinds();
}

void TestWholeResult::cutOffResultIsRefused()
{
    // A tool that runs out of disk space may still end well, with its file cut off where the space
    // ended: such a file reads as wanting, the whole one as whole.
    QFETCH(QString, suffix);
    const QString whole = m_samples + "/x." + suffix;
    const QString cut = m_dir.filePath("cut." + suffix);
    const QByteArray bytes = bytesOf(whole);
    QVERIFY(write(cut, bytes.left(bytes.size() / 2)));
    const auto check = [suffix, whole](const QString& result) {
        if (suffix == "mp4")
            return ResultCheck::video(result, PlayingTime::of(whole).milliseconds(), 1);
        if (suffix == "gif")
            return ResultCheck::gif(result, QImageReader(whole).imageCount(), GifTiming::of(whole));
        if (suffix == "png" || suffix == "jpg")
            return ResultCheck::picture(result, QImageReader(whole).size());
        if (suffix == "pdf")
            return ResultCheck::pdf(result, PdfFactory::pageCount(whole));
        return ResultCheck::package(result);
    };
    QCOMPARE(check(whole), QString());
    QVERIFY(!check(cut).isEmpty());
}

void TestWholeResult::everyValidFilePasses_data()
{
    QTest::addColumn<QString>("name"); // the source, made by makeSource
    QTest::addColumn<QSize>("scale");  // the size asked for a picture (invalid: none)
    QTest::addColumn<int>("quality");  // of a picture; a video is kept in its container at 0, else MP4
    QTest::addColumn<QSize>("size");   // of the result (invalid: not checked)
    QTest::newRow("GIF with a pause, quality 100") << "pause.gif" << QSize() << 100 << QSize(40, 30);
    QTest::newRow("GIF with a pause, quality 30") << "pause.gif" << QSize() << 30 << QSize(40, 30);
    QTest::newRow("PNG with a page offset, made into JPG") << "crop.png" << QSize() << 60 << QSize(120, 90);
    // The share that the window asks of a 1 x 1 picture at 33 % comes to no pixel.
    QTest::newRow("1x1 PNG at 33 %") << "dot.png" << QSize(int(1 * 0.33f), int(1 * 0.33f)) << 80
                                     << QSize(1, 1);
    QTest::newRow("WMV of 2 s picture, 6 s sound, made into MP4")
        << "long sound.wmv" << QSize() << 1 << QSize();
    QTest::newRow("MKV cut to 60 %") << "cut.mkv" << QSize() << 0 << QSize();
    QTest::newRow("2x2 video, made into MP4") << "tiny.mkv" << QSize() << 1 << QSize(16, 16);
    // Streams that start at 10 s, as a cut made with stream copy or a camera's clock leaves them.
    QTest::newRow("MP4 starting at 10 s") << "late.mp4" << QSize() << 0 << QSize(320, 240);
    QTest::newRow("MP4 starting at 10 s, made into MP4") << "late.mp4" << QSize() << 1 << QSize(320, 240);
    QTest::newRow("FLV starting at 10 s") << "late.flv" << QSize() << 0 << QSize(320, 240);
    QTest::newRow("H.264 FLV starting at 10 s") << "late h264.flv" << QSize() << 0 << QSize(320, 240);
    QTest::newRow("WMV starting at 10 s") << "late.wmv" << QSize() << 0 << QSize(320, 240);
}

void TestWholeResult::everyValidFilePasses()
{
    // Files as cameras, editors and ImageMagick make them, each a whole result of what it shows.
    QFETCH(QString, name);
    QFETCH(QSize, scale);
    QFETCH(int, quality);
    QFETCH(QSize, size);
    const QString folder = m_dir.filePath(QString("valid/%1").arg(QTest::currentDataTag()).replace(' ', '_'));
    QVERIFY(QDir().mkpath(folder));
    const QString in = folder + "/" + name;
    QVERIFY(makeSource(in));
    const bool video = SampleFiles::videoSuffixes().contains(QFileInfo(name).suffix());

    std::unique_ptr<QObject> engine;
    QSignalSpy* spy = nullptr;
    if (video) {
        auto* job = new VideoCompressCore(PlatformConstants::ffmpegPath(), nullptr);
        engine.reset(job);
        spy = new QSignalSpy(job, &VideoCompressCore::sig_sendProgress);
        const VideoInfo info = VideoCompressCore(nullptr).videoInfo(in);
        job->compress(in, quality > 0, folder + "/", {info.width, info.height, 1.0f, 28});
    } else {
        auto* job = new ImageCompressCore(PlatformConstants::pngquantPath(),
                                          PlatformConstants::convertProgram(), nullptr);
        engine.reset(job);
        spy = new QSignalSpy(job, &ImageCompressCore::sig_sendProgress);
        job->setKeepFormat(true);
        if (scale.isValid())
            job->setScaleSize(scale.width(), scale.height());
        if (name.endsWith(".gif"))
            job->compressGif(in, folder + "/", quality);
        else if (scale.isValid())
            job->compressPng(in, folder + "/", 10, quality);
        else
            job->compressJpg(in, folder + "/", quality);
    }
    spy->setParent(engine.get());
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(*spy), kJobEndsWithinMs);
    const ProgressReport end = ProgressReport::last(*spy);
    QVERIFY2(end.stat, qPrintable(TestEnv::logLines().join('\n')));
    if (size.isValid())
        QCOMPARE(video ? getMediaSize(end.filePath, 0) : QImageReader(end.filePath).size(), size);
    if (name.startsWith("late"))
        checkLateStart(in, end, folder);
    if (name != "cut.mkv")
        return;
    // The result holds what plays of the source; cut off in its turn, it is refused.
    const double played = playedLength(in);
    const double result = PlayingTime::of(end.filePath).milliseconds();
    QVERIFY2(std::fabs(result - played) < 200, qPrintable(QString("%1 ms, %2 ms").arg(result).arg(played)));
    const QString cut = folder + "/cut result.mkv";
    const QByteArray bytes = bytesOf(end.filePath);
    QVERIFY(write(cut, bytes.left(bytes.size() * 6 / 10)));
    QCOMPARE(ResultCheck::video(cut, played, 1), QString("it is cut off"));
}

bool TestWholeResult::makeSource(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const QString folder = QFileInfo(path).path();
    const QStringList clip{"-v", "error", "-y", "-f", "lavfi", "-i"};
    if (name == "pause.gif") // the same picture twice in a row, as editors make a pause
        return TestEnv::runTool("convert", {"-size", "40x30", "xc:red", "xc:red", "xc:blue", "xc:blue",
                                            "-set", "delay", "20", "-loop", "0", path}) == 0;
    if (name == "crop.png") // cropped without +repage: 120 x 90 pixels on a 200 x 150 page
        return TestEnv::runTool(
                   "convert", {"-size", "200x150", "gradient:red-blue", "-crop", "120x90+30+20", path}) == 0;
    if (name == "dot.png") {
        QImage dot(1, 1, QImage::Format_RGB32);
        dot.fill(Qt::red);
        return dot.save(path);
    }
    if (name == "long sound.wmv")
        return TestEnv::runTool("ffmpeg", clip + QStringList{"testsrc=size=160x120:rate=25:duration=2", "-f",
                                                             "lavfi", "-i", "sine=duration=6", "-c:v", "wmv2",
                                                             "-c:a", "wmav2", path}) == 0;
    if (name.startsWith("late")) { // 3 s of film, remuxed to start at 10 s
        const QString whole = folder + "/whole." + QFileInfo(name).suffix();
        QStringList codecs{"-c:v", "libx264", "-crf", "12", "-c:a", "aac"};
        if (name == "late.flv")
            codecs = QStringList{"-c:v", "flv", "-q:v", "2", "-c:a", "aac"};
        else if (name == "late.wmv")
            codecs = QStringList{"-c:v", "wmv2", "-q:v", "2", "-c:a", "wmav2"};
        return TestEnv::runTool("ffmpeg",
                                clip +
                                    QStringList{"testsrc2=size=320x240:rate=25:duration=3", "-f", "lavfi",
                                                "-i", "sine=duration=3", "-pix_fmt", "yuv420p"} +
                                    codecs + QStringList{whole}) == 0 &&
               TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-i", whole, "-c", "copy",
                                           "-output_ts_offset", "10", path}) == 0 &&
               QFile::remove(whole);
    }
    if (name == "tiny.mkv")
        return TestEnv::runTool("ffmpeg",
                                clip + QStringList{"testsrc=size=2x2:rate=25:duration=1", "-pix_fmt",
                                                   "yuv420p", "-c:v", "libx264", path}) == 0;
    // A 6 s recording of which only the first 60 % of its bytes were written: its header still
    // promises 6 s.
    const QString whole = folder + "/whole.mkv";
    if (TestEnv::runTool("ffmpeg",
                         clip + QStringList{"testsrc=size=160x120:rate=25:duration=6", "-f", "lavfi", "-i",
                                            "sine=duration=6", "-pix_fmt", "yuv420p", "-c:v", "libx264",
                                            "-preset", "ultrafast", "-c:a", "aac", whole}) != 0)
        return false;
    const QByteArray bytes = bytesOf(whole);
    return QFile::remove(whole) && write(path, bytes.left(bytes.size() * 6 / 10));
}

void TestWholeResult::checkLateStart(const QString& in, const ProgressReport& end,
                                     const QString& folder) const
{
    // Source and result are measured alike: the 3 s that play, wherever they start.
    const double source = PlayingTime::of(in).milliseconds();
    const double result = PlayingTime::of(end.filePath).milliseconds();
    QVERIFY2(std::fabs(source - 3000) < 100, qPrintable(QString("the source plays %1 ms").arg(source)));
    QVERIFY2(std::fabs(result - 3000) < 100, qPrintable(QString("the result plays %1 ms").arg(result)));
    QVERIFY2(end.rate < 1.0f, "compressed, not the input's copy");
    QCOMPARE(end.progress, 1.0f); // every frame that plays, none of the pause before them
    // Its first 1.5 s, starting at 10 s in its turn, is refused.
    const QString cut = folder + "/cut result." + QFileInfo(end.filePath).suffix();
    QCOMPARE(TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-i", end.filePath, "-t", "1.5", "-c", "copy",
                                         "-output_ts_offset", "10", cut}),
             0);
    const double cutLength = PlayingTime::of(cut).milliseconds();
    QVERIFY2(cutLength < 2000, qPrintable(QString("the cut plays %1 ms").arg(cutLength)));
    QCOMPARE(ResultCheck::video(cut, source, 1),
             QString("it lasts %1 ms instead of %2 ms").arg(qint64(cutLength)).arg(qint64(source)));
}

double TestWholeResult::playedLength(const QString& path) const
{
    const QString copy = m_dir.filePath("played.mkv");
    if (TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-i", path, "-c", "copy", copy}) != 0)
        return -1;
    const double length = getMediaDuration(copy);
    QFile::remove(copy);
    return length;
}

void TestWholeResult::fullDiskKeepsTheEarlierResult_data()
{
    kinds();
}

void TestWholeResult::fullDiskKeepsTheEarlierResult()
{
    QFETCH(QString, suffix);
    const QString in = input(m_dir.filePath("full/" + suffix), suffix);
    QVERIFY(!in.isEmpty());
    // The result folder: a small file system, its earlier result of this input, then full.
    const QString folder = m_dir.filePath("full/" + suffix + "/out");
    if (!mountTmpfs(folder, "1m")) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("cannot mount a tmpfs (run as root)");
        QSKIP("mounting a tmpfs needs root");
    }
    const auto unmount = qScopeGuard([folder] { TestEnv::runTool("umount", {"-l", folder}); });
    const QString output = folder + "/" + resultName(suffix);
    const QByteArray earlier = recordEarlierResult(in, output);
    QVERIFY(!earlier.isEmpty());
    QFile filler(folder + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(64 * 1024, 'f')) > 0 && filler.flush()) {
    }
    filler.close();
    const QStringList before = entries(folder);

    QSignalSpy* spy = nullptr;
    const std::unique_ptr<QObject> engine = start(in, folder + "/", &spy);
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(*spy), kJobEndsWithinMs);
    QCOMPARE(ProgressReport::last(*spy).progress, -1.0f);
    QCOMPARE(entries(folder), before);
    QCOMPARE(bytesOf(output), earlier);
    QCOMPARE(TestEnv::logLines().filter(" compress fail " + in + ": ").size(), 1);
}

void TestWholeResult::linkAtTheResultNameIsNeverFollowed_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("target"); // what the link at the result's name points at
    QTest::addColumn<bool>("ours");      // the history gives the link's name as this input's result
    for (const QString suffix : {"mp4", "gif", "png", "jpg", "pdf", "docx", "pptx"}) {
        QTest::newRow(qPrintable(suffix + ", to an unrelated file")) << suffix << "notes.txt" << false;
        QTest::newRow(qPrintable(suffix + ", to the input")) << suffix << "x." + suffix << false;
        QTest::newRow(qPrintable(suffix + ", to the input, as an earlier result"))
            << suffix << "x." + suffix << true;
    }
}

void TestWholeResult::linkAtTheResultNameIsNeverFollowed()
{
    QFETCH(QString, suffix);
    QFETCH(QString, target);
    QFETCH(bool, ours);
    const QString folder = m_dir.filePath(QString("link/%1").arg(QTest::currentDataTag()).replace(' ', '_'));
    const QString in = input(folder, suffix);
    QVERIFY(!in.isEmpty());
    QVERIFY(write(folder + "/notes.txt", "the user's notes"));
    const QString name = folder + "/" + resultName(suffix);
    QVERIFY(QFile::link(folder + "/" + target, name));
    if (ours)
        QVERIFY(PlacedResults::record(name, in));
    const QByteArray targetBytes = bytesOf(folder + "/" + target);

    QSignalSpy* spy = nullptr;
    const std::unique_ptr<QObject> engine = start(in, folder + "/", &spy);
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(*spy), kJobEndsWithinMs);
    const ProgressReport end = ProgressReport::last(*spy);
    QVERIFY2(end.stat, qPrintable(TestEnv::logLines().join('\n')));
    // The file the link points at is as it was; the result is a plain file of its own.
    QCOMPARE(bytesOf(folder + "/" + target), targetBytes);
    const QFileInfo result(end.filePath);
    QVERIFY(result.isFile() && !result.isSymLink());
    if (ours) {
        QCOMPARE(end.filePath, name); // the link is replaced, not followed
    } else {
        QCOMPARE(end.filePath, folder + "/c_x_2." + suffix); // the link is the user's and stays
        QCOMPARE(QFileInfo(name).symLinkTarget(), folder + "/" + target);
    }
}

void TestWholeResult::pipeAsInputFailsAtOnce_data()
{
    kinds();
}

void TestWholeResult::pipeAsInputFailsAtOnce()
{
    QFETCH(QString, suffix);
    const QString folder = m_dir.filePath("pipe/" + suffix);
    QVERIFY(QDir().mkpath(folder));
    const QString pipe = folder + "/x." + suffix;
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    QSignalSpy* spy = nullptr;
    const std::unique_ptr<QObject> engine = start(pipe, folder + "/", &spy);
    // Nothing opens the pipe, which would wait for a writer that never comes.
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(*spy), 1000);
    QCOMPARE(ProgressReport::last(*spy).progress, -1.0f);
    QVERIFY(TestEnv::logLines().last().endsWith(pipe + ": the input is not a plain file"));
    QCOMPARE(entries(folder), QStringList("x." + suffix));
}

void TestWholeResult::killedProgramLeavesNothingUnderTheResultName()
{
    if (qEnvironmentVariableIsSet(kChildClip)) {
        runChildJob();
        return;
    }
    // A clip that takes ffmpeg seconds, compressed by a copy of this program, which is killed
    // outright once ffmpeg is at work.
    const QString folder = m_dir.filePath("killed");
    QVERIFY(QDir().mkpath(folder));
    const QString clip = folder + "/long.mp4";
    QCOMPARE(TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                         "testsrc2=size=1280x720:rate=25:duration=30", "-pix_fmt", "yuv420p",
                                         "-c:v", "libx264", "-preset", "ultrafast", clip}),
             0);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildClip, clip);
    environment.insert(kChildData, m_dir.filePath("child-data"));
    // What the killed copy leaves in its temporary folders goes with this test's folder.
    environment.insert("VX_TEMP_DIR", m_dir.filePath("child-temp/"));
    environment.insert("TMPDIR", m_dir.filePath("child-temp"));
    QVERIFY(QDir().mkpath(m_dir.filePath("child-temp")));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"killedProgramLeavesNothingUnderTheResultName"});
    QVERIFY(child.waitForStarted(30000));
    QByteArray said;
    const auto atWork = [&] {
        said += child.readAll();
        return said.contains("ffmpeg is at work") || child.state() == QProcess::NotRunning;
    };
    QVERIFY2(QTest::qWaitFor(atWork, kJobEndsWithinMs), said.constData());
    QVERIFY2(child.state() == QProcess::Running, said.constData());
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(30000));
    // The ffmpeg the child left behind goes on in the child's own folder; it is stopped here.
    for (const QString& line : TestEnv::processesMentioning(clip))
        ::kill(pid_t(line.section(':', 0, 0).toLongLong()), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(TestEnv::processesMentioning(clip), QStringList(), 30000);
    QCOMPARE(entries(folder), QStringList("long.mp4"));
}

void TestWholeResult::runChildJob()
{
    const QString clip = qEnvironmentVariable(kChildClip);
    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    engine.compress(clip, false, QFileInfo(clip).path() + "/", {1280, 720, 1.0f, 28});
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty(), kJobEndsWithinMs);
    QVERIFY(!ProgressReport::hasFinal(spy));
    std::printf("ffmpeg is at work\n");
    std::fflush(stdout);
    // Killed long before this ends.
    QVERIFY(!QTest::qWaitFor([&spy] { return ProgressReport::hasFinal(spy); }, kJobEndsWithinMs));
}

ProgressReport TestWholeResult::runPicture(const QString& input, bool toJpg,
                                           const std::function<void()>& meanwhile)
{
    OutputPaths::reset();
    ImageCompressCore engine(PlatformConstants::pngquantPath(), PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(!toJpg);
    const QString folder = QFileInfo(input).absolutePath() + '/';
    if (toJpg || input.endsWith(".jpg"))
        engine.compressJpg(input, folder, 60);
    else
        engine.compressPng(input, folder, 10, 80);
    if (meanwhile)
        meanwhile();
    if (!QTest::qWaitFor([&spy] { return ProgressReport::hasFinal(spy); }, kJobEndsWithinMs))
        return ProgressReport(0.0f, false, "no end", 0.0f);
    return ProgressReport::last(spy);
}

void TestWholeResult::onlyTheProgramsOwnPlacedResultIsReplaced_data()
{
    QTest::addColumn<QString>("story");
    QTest::newRow("a failed job's history names another input's result") << "failed first";
    QTest::newRow("another program writes the name while the job runs") << "written meanwhile";
    QTest::newRow("a run from another working folder, after the history is cleared") << "elsewhere";
}

void TestWholeResult::onlyTheProgramsOwnPlacedResultIsReplaced()
{
    QFETCH(QString, story);
    const QString folder = m_dir.filePath("own/" + story).replace(' ', '_');
    const QString png = input(folder, "png");
    QVERIFY(!png.isEmpty());
    if (story == "failed first") {
        // x.png made into a JPG failed, but the history names c_x.jpg as its output all the same.
        QVERIFY(JsonParsing::initHistory());
        QVERIFY(JsonParsing::addHistory(Kind::Image, "2026-12-09", png, folder + "/c_x.jpg"));
        const QString jpg = input(folder, "jpg");
        QCOMPARE(runPicture(jpg, false).filePath, folder + "/c_x.jpg");
        const QByteArray ofTheJpg = bytesOf(folder + "/c_x.jpg");
        const ProgressReport end = runPicture(png, true);
        QVERIFY(end.stat);
        QCOMPARE(end.filePath, folder + "/c_x_2.jpg");
        QCOMPARE(bytesOf(folder + "/c_x.jpg"), ofTheJpg);
    } else if (story == "written meanwhile") {
        const ProgressReport end =
            runPicture(png, false, [folder] { write(folder + "/c_x.png", "another's"); });
        QVERIFY(end.stat);
        QCOMPARE(end.filePath, folder + "/c_x_2.png");
        QCOMPARE(bytesOf(folder + "/c_x.png"), QByteArray("another's"));
    } else {
        QCOMPARE(runPicture(png, false).filePath, folder + "/c_x.png");
        TestFolder elsewhere;
        QVERIFY(elsewhere.isValid());
        g_AppDataPath = m_dir.path() + "/appdata"; // the same program's data folder
        QVERIFY(JsonParsing::initHistory());
        JsonParsing::clearHistory("history.json", Kind::Image);
        QCOMPARE(runPicture(png, false).filePath, folder + "/c_x.png");
        QCOMPARE(entries(folder), QStringList({"c_x.png", "x.png"}));
    }
}

void TestWholeResult::convertAtItsTimeLimitLeavesNoScratchFiles()
{
    // A 100-megapixel resize, with bounds below the job's own, goes into a pixel cache on the disk.
    const QString systemTemp = m_dir.filePath("system-temp");
    QVERIFY(QDir().mkpath(systemTemp));
    const auto restore = TestEnv::redirectSystemTemp(systemTemp);
    qputenv("MAGICK_MEMORY_LIMIT", "32MiB");
    qputenv("MAGICK_MAP_LIMIT", "32MiB");
    const auto unbound = qScopeGuard([] {
        qunsetenv("MAGICK_MEMORY_LIMIT");
        qunsetenv("MAGICK_MAP_LIMIT");
    });
    const QString in = input(m_dir.filePath("scratch"), "jpg");
    QVERIFY(!in.isEmpty());
    ImageCompressCore engine(PlatformConstants::pngquantPath(), PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setScaleSize(9999, 9999);
    engine.setTimeLimit(1500);
    engine.compressJpg(in, m_dir.filePath("scratch") + '/', 60);
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), kJobEndsWithinMs);
    QCOMPARE(ProgressReport::last(spy).progress, -1.0f);
    QCOMPARE(TestEnv::entriesUnder(systemTemp), QStringList());
    QCOMPARE(TestEnv::entriesUnder(TempFolder::path()), QStringList());
}

QTEST_MAIN(TestWholeResult)
#include "tst_wholeresult.moc"
