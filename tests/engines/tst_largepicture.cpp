// The largest size the window's fields take, 9999 x 9999: a resize to 100 megapixels completes,
// held in memory by the job's own ImageMagick limits, where a cache on disk took minutes. A test of
// its own, so that its half minute does not crowd the image engine's other tests.
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ImageCompressCore.h"
#include "OutputPaths.h"
#include "PlatformConstants.h"
#include "ProgressReport.h"
#include "TestEnv.h"
#include "Tool.h"

class TestLargePicture : public QObject
{
    Q_OBJECT

private slots:
    void largestTypedSizeCompletes();
};

void TestLargePicture::largestTypedSizeCompletes()
{
    VX_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TestEnv::isolate(dir);
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    OutputPaths::reset();
    const QString source = dir.filePath("photo.bmp");
    QImage photo(320, 240, QImage::Format_RGB32);
    photo.fill(QColor(40, 120, 200));
    QVERIFY(photo.save(source, "BMP"));

    ImageCompressCore engine(PlatformConstants::pngquantPath(), PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setTimeLimit(120000);
    engine.setScaleSize(9999, 9999);
    // Made into a JPG, the result stays as made, however much larger than its source.
    const QString outPath = engine.compressJpg(source, dir.path() + "/", 50);
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), 150000);
    QVERIFY2(ProgressReport::last(spy).stat, qPrintable(TestEnv::logLines().join('\n')));
    QCOMPARE(QImageReader(outPath).size(), QSize(9999, 9999));
}

QTEST_MAIN(TestLargePicture)
#include "tst_largepicture.moc"
