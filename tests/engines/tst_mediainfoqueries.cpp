#include <clocale>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "MediaInfoQueries.h"
#include "PlatformConstants.h"
#include "SampleFiles.h"
#include "TestEnv.h"
#include "VideoCompressCore.h"

#define UNICODE
#define MEDIAINFODLL_NAME VX_MEDIAINFO_LIBRARY
#include <MediaInfoDLL/MediaInfoDLL.h>

namespace
{
// The library's complete report of a file in its JSON layout.
QByteArray libraryJsonReport(const QString& path)
{
    MediaInfoDLL::MediaInfo info;
    info.Option(L"Output", L"JSON");
    info.Open(path.toStdWString());
    const QByteArray report = QString::fromStdWString(info.Inform()).toUtf8();
    info.Close();
    return report;
}
} // namespace

class MediaInfoQueriesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void videoFacts_data();
    void videoFacts();
    void nonAsciiPathInPlainCLocale();
    void formatAndHevc();
    void imageStream();
    void unknownKindAndMissingFile();
    void infoJsonFromTheLibraryFillsVideoInfo();

private:
    QTemporaryDir m_dir;
};

void MediaInfoQueriesTest::initTestCase()
{
    VX_REQUIRE_TOOL("ffmpeg");
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    g_infoJsonPath = m_dir.filePath("info.json"); // not there unless a test writes it

    QVERIFY(SampleFiles::makeClip(m_dir.filePath("clip.avi"), {"-c:a", "pcm_s16le"}));
    QVERIFY(SampleFiles::makeClip(m_dir.filePath("clip.mp4")));
    QVERIFY(SampleFiles::makeClip(m_dir.filePath("clip.mkv")));
    QVERIFY(SampleFiles::makeClip(m_dir.filePath("clip.mov")));
    QVERIFY(SampleFiles::makeClip(m_dir.filePath(QString::fromUtf8("视频 样本.mp4"))));
    QVERIFY(SampleFiles::makeClip(m_dir.filePath("hevc.mkv"), {"-c:v", "libx265", "-preset", "ultrafast",
                                                               "-x265-params", "log-level=none"}));
}

void MediaInfoQueriesTest::videoFacts_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("avi") << "clip.avi";
    QTest::newRow("mp4") << "clip.mp4";
    QTest::newRow("mkv") << "clip.mkv";
    QTest::newRow("mov") << "clip.mov";
    QTest::newRow("chinese name") << QString::fromUtf8("视频 样本.mp4");
}

void MediaInfoQueriesTest::videoFacts()
{
    QFETCH(QString, name);
    const QString path = m_dir.filePath(name);
    QCOMPARE(getMediaSize(path, 0), QSize(160, 120));
    QVERIFY2(qAbs(getMediaDuration(path) - 1000.0) <= 50.0,
             qPrintable(QString::number(getMediaDuration(path))));
    QCOMPARE(getFrameCount(path), 25);

    VideoCompressCore probe(nullptr);
    const VideoInfo info = probe.videoInfo(path);
    QCOMPARE(info.baseName, QFileInfo(path).baseName());
    QCOMPARE(info.filePath, path);
    QCOMPARE(info.width, 160);
    QCOMPARE(info.height, 120);
    QVERIFY(qAbs(info.duration - 1000.0) <= 50.0);
    QCOMPARE(info.frameRate, 0.0); // no info.json: nothing more is filled
}

void MediaInfoQueriesTest::nonAsciiPathInPlainCLocale()
{
    // A program started without any locale runs in "C"; the queries still open non-ASCII paths.
    const QByteArray previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const QString path = m_dir.filePath(QString::fromUtf8("视频 样本.mp4"));
    const QSize size = getMediaSize(path, 0);
    const int frames = getFrameCount(path);
    const QByteArray during = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_ALL, previous.constData());

    QCOMPARE(size, QSize(160, 120));
    QCOMPARE(frames, 25);
    QCOMPARE(during, QByteArray("C")); // the process-wide locale was left alone
}

void MediaInfoQueriesTest::formatAndHevc()
{
    QCOMPARE(getMediaFormat(m_dir.filePath("clip.mp4"), 0), QString("AVC"));
    QVERIFY(!isHevc(m_dir.filePath("clip.mp4")));
    QCOMPARE(getMediaFormat(m_dir.filePath("hevc.mkv"), 0), QString("HEVC"));
    QVERIFY(isHevc(m_dir.filePath("hevc.mkv")));
    QCOMPARE(getMediaSize(m_dir.filePath("hevc.mkv"), 0), QSize(160, 120));
}

void MediaInfoQueriesTest::imageStream()
{
    const QString path = m_dir.filePath("picture.png");
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(image.save(path));
    QCOMPARE(getMediaSize(path, 1), QSize(64, 48));
    QCOMPARE(getMediaFormat(path, 1), QString("PNG"));
    QCOMPARE(getMediaSize(path, 0), QSize(0, 0)); // an image has no video stream
    QCOMPARE(getFrameCount(path), 0);
}

void MediaInfoQueriesTest::unknownKindAndMissingFile()
{
    const QString clip = m_dir.filePath("clip.mp4");
    QCOMPARE(getMediaSize(clip, 2), QSize(0, 0));
    QCOMPARE(getMediaSize(clip, -1), QSize(0, 0));
    QCOMPARE(getMediaFormat(clip, 2), QString());

    const QString missing = m_dir.filePath("missing.mp4");
    QCOMPARE(getMediaSize(missing, 0), QSize(0, 0));
    QCOMPARE(getMediaDuration(missing), 0.0);
    QCOMPARE(getFrameCount(missing), 0);
    QCOMPARE(getMediaFormat(missing, 0), QString());
    QVERIFY(!isHevc(missing));

    // A file with a video stream but no duration value.
    const QString text = m_dir.filePath("notes.txt");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a video\n");
    file.close();
    QCOMPARE(getMediaDuration(text), 0.0);
}

void MediaInfoQueriesTest::infoJsonFromTheLibraryFillsVideoInfo()
{
    // The library's own JSON report of a clip, as info.json: videoInfo reads the further facts.
    const QString clip = m_dir.filePath("clip.mp4");
    const QByteArray report = libraryJsonReport(clip);
    QVERIFY2(report.contains("\"media\""), report.constData());
    QFile file(g_infoJsonPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(report);
    file.close();

    VideoCompressCore probe(nullptr);
    const VideoInfo info = probe.videoInfo(clip);
    QFile::remove(g_infoJsonPath);
    QCOMPARE(info.baseName, QString("clip"));
    QCOMPARE(info.filePath, clip);
    QCOMPARE(info.fileExtension, QString("mp4"));
    QCOMPARE(info.fileSize, int(QFileInfo(clip).size()));
    QCOMPARE(info.videoFormat, QString("AVC"));
    QCOMPARE(info.width, 160);
    QCOMPARE(info.height, 120);
    QCOMPARE(info.frameRate, 25.0);
    QVERIFY(qAbs(info.videoDuration - 1.0) <= 0.05); // seconds in the JSON report
    QCOMPARE(info.audioFormat, QString("AAC"));
    QCOMPARE(info.channels, 1);
    QCOMPARE(info.samplingRate, 44100);
}

QTEST_GUILESS_MAIN(MediaInfoQueriesTest)
#include "tst_mediainfoqueries.moc"
