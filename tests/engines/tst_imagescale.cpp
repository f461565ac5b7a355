#include <memory>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ImageScale.h"
#include "PlatformConstants.h"
#include "TestEnv.h"
#include "Tool.h"

// Resizing through the real convert and gifsicle into the temporary folder, and every way a resize
// can fail ending in exactly one announcement with an empty path.
class TestImageScale : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstScalerIsNumberedOne();
    void resizesToExactSize_data();
    void resizesToExactSize();
    void failureIsAnnouncedOnce_data();
    void failureIsAnnouncedOnce();

private:
    QString input(const QString& name) const { return m_inputs.filePath(name); }
    QString writeScript(const QString& name, const QByteArray& body) const;

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_run;
    QString m_tempDir;
};

void TestImageScale::initTestCase()
{
    VX_REQUIRE_TOOL("convert");
    VX_REQUIRE_TOOL("gifsicle");
    QVERIFY(m_inputs.isValid());

    QImage photo(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x * 255 / 320, y * 255 / 240, (x * y) % 256));
    QVERIFY(photo.save(input("photo.png")));
    QVERIFY(photo.save(input("PHOTO.PNG"), "PNG"));
    QVERIFY(photo.save(input("photo.jpg"), "JPEG", 95));
    QVERIFY(photo.save(input("photo.bmp"), "BMP"));
    QVERIFY(QDir(m_inputs.path()).mkpath("图片 文件夹"));
    QVERIFY(photo.save(input("图片 文件夹/照片 \"引号\" ü.png"), "PNG"));

    QCOMPARE(TestEnv::runTool("convert", {"-size", "160x120", "xc:red", "xc:green", "xc:blue", "-set",
                                          "delay", "10", "-loop", "0", input("anim.gif")}),
             0);
}

void TestImageScale::init()
{
    m_run = std::make_unique<QTemporaryDir>();
    QVERIFY(m_run->isValid());
    TestEnv::isolate(*m_run);
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix")); // the log folder, so the log holds only our lines
    m_tempDir = PlatformConstants::tempFolder();
    QVERIFY(PlatformConstants::makeTempFolder());
}

QString TestImageScale::writeScript(const QString& name, const QByteArray& body) const
{
    return TestEnv::writeScript(m_run->filePath(name), body);
}

void TestImageScale::firstScalerIsNumberedOne()
{
    QCOMPARE(g_imageScaleCount, 0);
    ImageScale scale("convert", "gifsicle", nullptr);
    QSignalSpy done(&scale, &ImageScale::sig_scaleFinished);
    scale.scaleByConvert(input("photo.png"), m_tempDir, 32, 24);
    QVERIFY(done.wait(30000));
    QCOMPARE(done.at(0).at(0).toString(), m_tempDir + "scale_1.png");
}

void TestImageScale::resizesToExactSize_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("byGifsicle");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("frames");

    // Aspect ratio is ignored: 320x240 becomes 100x100.
    QTest::newRow("png by convert") << "photo.png" << false << QSize(100, 100) << "png" << 1;
    QTest::newRow("capital suffix kept") << "PHOTO.PNG" << false << QSize(160, 120) << "PNG" << 1;
    QTest::newRow("jpg by convert") << "photo.jpg" << false << QSize(64, 200) << "jpg" << 1;
    QTest::newRow("bmp by convert") << "photo.bmp" << false << QSize(33, 17) << "bmp" << 1;
    QTest::newRow("blank, quotes and non-ASCII in the path")
        << "图片 文件夹/照片 \"引号\" ü.png" << false << QSize(80, 60) << "png" << 1;
    QTest::newRow("animated gif by gifsicle") << "anim.gif" << true << QSize(80, 30) << "gif" << 3;
}

void TestImageScale::resizesToExactSize()
{
    QFETCH(QString, file);
    QFETCH(bool, byGifsicle);
    QFETCH(QSize, size);
    QFETCH(QString, suffix);
    QFETCH(int, frames);

    ImageScale scale("convert", "gifsicle", nullptr);
    const int number = g_imageScaleCount;
    QSignalSpy done(&scale, &ImageScale::sig_scaleFinished);
    if (byGifsicle)
        scale.scaleByGifsicle(input(file), m_tempDir, size.width(), size.height());
    else
        scale.scaleByConvert(input(file), m_tempDir, size.width(), size.height());
    QVERIFY(done.wait(30000));
    QVERIFY(!done.wait(200));
    QCOMPARE(done.count(), 1);

    const QString expected = m_tempDir + QString("scale_%1.%2").arg(number).arg(suffix);
    QCOMPARE(done.at(0).at(0).toString(), expected);
    QImageReader reader(expected);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.size(), size);
    QCOMPARE(reader.imageCount(), frames);
    QVERIFY(!reader.read().isNull());
    QVERIFY(TestEnv::logLines().isEmpty());
}

void TestImageScale::failureIsAnnouncedOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("convert");
    QTest::addColumn<bool>("byGifsicle");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("timeLimit");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing input, convert") << "none.png"
                                            << "convert" << false << QSize(10, 10) << 0 << "input missing";
    QTest::newRow("missing input, gifsicle") << "none.gif"
                                             << "convert" << true << QSize(10, 10) << 0 << "input missing";
    QTest::newRow("convert cannot start")
        << "photo.png"
        << "/nonexistent/convert" << false << QSize(10, 10) << 0 << "cannot start /nonexistent/convert";
    // The installed policy refuses pictures wider than 16K pixels.
    QTest::newRow("refused size") << "photo.png"
                                  << "convert" << false << QSize(17000, 10) << 0 << "exit code 1";
    QTest::newRow("tool crashes") << "photo.png"
                                  << "@crash" << false << QSize(10, 10) << 0 << "crashed";
    QTest::newRow("tool hangs") << "photo.png"
                                << "@hang" << false << QSize(10, 10) << 300 << "timed out";
    QTest::newRow("tool writes nothing")
        << "photo.png"
        << "@silent" << false << QSize(10, 10) << 0 << "no output %1scale_%2.png";
}

void TestImageScale::failureIsAnnouncedOnce()
{
    QFETCH(QString, file);
    QFETCH(QString, convert);
    QFETCH(bool, byGifsicle);
    QFETCH(QSize, size);
    QFETCH(int, timeLimit);
    QFETCH(QString, reason);

    if (convert == "@crash")
        convert = writeScript("crash", "kill -KILL $$");
    else if (convert == "@hang")
        convert = writeScript("hang", "exec sleep 30");
    else if (convert == "@silent")
        convert = writeScript("silent", "exit 0");

    ImageScale scale(convert, "gifsicle", nullptr);
    if (timeLimit > 0)
        scale.setTimeLimit(timeLimit);
    QSignalSpy done(&scale, &ImageScale::sig_scaleFinished);
    if (byGifsicle)
        scale.scaleByGifsicle(input(file), m_tempDir, size.width(), size.height());
    else
        scale.scaleByConvert(input(file), m_tempDir, size.width(), size.height());
    QVERIFY(done.wait(30000));
    QVERIFY(!done.wait(300));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toString(), QString());

    if (reason.contains("%1"))
        reason = reason.arg(m_tempDir, QString::number(g_imageScaleCount));
    // The reason is for the engine's own failure line; the scaler logs nothing itself.
    QCOMPARE(scale.failure(), reason);
    QCOMPARE(TestEnv::logLines(), QStringList());
}

QTEST_GUILESS_MAIN(TestImageScale)
#include "tst_imagescale.moc"
