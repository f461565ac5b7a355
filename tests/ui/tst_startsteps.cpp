// What the window's start steps hand to the engines, seen in what the real tools make of it: the
// video strength, the image and PDF quality and the image size, the output names, and the image
// tick's log line.
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtEndian>
#include <QtTest>

#include "EngineWatch.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "MainWidget.h"
#include "OoxmlPackage.h"
#include "PathManager.h"
#include "SampleFiles.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "UrlRecorder.h"
#include "VideoStream.h"
#include "WindowDriver.h"

namespace
{

// The JPEG quality that ImageMagick reads back from a file.
int jpegQuality(const QString& path)
{
    QByteArray output;
    if (TestEnv::runTool("identify", {"-format", "%Q", path}, &output) != 0)
        return -1;
    return output.trimmed().toInt();
}

void retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

bool commandLogged(const QString& part)
{
    for (const QString& line : TestEnv::logLines()) {
        if (line.startsWith("start compress") && line.contains(part))
            return true;
    }
    return false;
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG whose header declares `width` x `height` pixels while the file holds a few bytes: an 8 x 8
// picture with the size in its header (and the header's checksum) written anew.
bool writeDeclaredSize(const QString& path, int width, int height)
{
    QImage small(8, 8, QImage::Format_Grayscale8);
    small.fill(0);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !small.save(&buffer, "PNG") || png.mid(12, 4) != "IHDR")
        return false;
    qToBigEndian(quint32(width), png.data() + 16);
    qToBigEndian(quint32(height), png.data() + 20);
    qToBigEndian(crc32(png.mid(12, 17)), png.data() + 29);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
}

QString logLineStartingWith(const QString& start)
{
    for (const QString& line : TestEnv::logLines()) {
        if (line.startsWith(start))
            return line;
    }
    return QString();
}

} // namespace

class TestStartSteps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void strengthSliderGivesTheCrf_data();
    void strengthSliderGivesTheCrf();
    void imageQualityIsCappedAt100_data();
    void imageQualityIsCappedAt100();
    void pdfQualityIsCappedAt100();
    void customSizeIsScaled();
    void emptyScaleIsFullSize();
    void pictureSizeComesFromTheHeader();
    void pictureKeepsItsShownSize_data();
    void pictureKeepsItsShownSize();
    void documentOutputNames();
    void imageTickLogsTheQueue();

private:
    // Runs the current kind's queue through the real engines.
    void runToTheEnd(WindowDriver& driver);

    UrlRecorder m_urls;
    std::unique_ptr<TestFolder> m_programDir;
    std::unique_ptr<TestFolder> m_dir;
};

void TestStartSteps::initTestCase()
{
    for (const char* tool : {"ffmpeg", "pngquant", "convert", "identify"})
        VX_REQUIRE_TOOL(tool);
    // The PDF engine's work folder is made once per program, under the data folder of that moment:
    // in a folder that lasts as long as this program, not in the folder of the first test with a PDF.
    m_programDir = std::make_unique<TestFolder>();
    QVERIFY(m_programDir->isValid());
    QVERIFY(QFileInfo(PathManager::instance()->tempDir()).isDir());
    WindowDriver::startProgramServices();
}

void TestStartSteps::cleanupTestCase()
{
    WindowDriver::stopProgramServices();
    m_programDir.reset();
}

void TestStartSteps::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
}

void TestStartSteps::cleanup()
{
    m_dir.reset();
}

void TestStartSteps::runToTheEnd(WindowDriver& driver)
{
    driver.pressStart();
    QVERIFY2(driver.waitForRunEnd(240000), "the run never ended");
}

void TestStartSteps::strengthSliderGivesTheCrf_data()
{
    QTest::addColumn<int>("slider");
    QTest::addColumn<int>("crf");
    QTest::newRow("1") << 1 << 24;
    QTest::newRow("14") << 14 << 24;
    QTest::newRow("57") << 57 << 27;
    QTest::newRow("100") << 100 << 31;
}

void TestStartSteps::strengthSliderGivesTheCrf()
{
    QFETCH(int, slider);
    QFETCH(int, crf);
    const QString video = m_dir->filePath("clip.mkv");
    QCOMPARE(TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                         "testsrc=size=640x360:rate=25:duration=1", "-c:v", "mpeg4", "-q:v",
                                         "2", "-pix_fmt", "yuv420p", video}),
             0);
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({video});
    window.findChild<QSlider*>("sliderCompVal")->setValue(slider);
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Video).value(0), QString("已完成"));
    QCOMPARE(VideoStream::crfOf(m_dir->filePath("c_clip.mkv")), crf);
}

void TestStartSteps::imageQualityIsCappedAt100_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("quality");
    QTest::newRow("150") << "150" << 100;
    QTest::newRow("75") << "75" << 75;
    QTest::newRow("5, below pngquant's minimum") << "5" << 5;
    QTest::newRow("empty, as the page opens") << "" << 50;
}

void TestStartSteps::imageQualityIsCappedAt100()
{
    QFETCH(QString, typed);
    QFETCH(int, quality);
    const QString jpg = m_dir->filePath("photo.jpg");
    const QString png = m_dir->filePath("drawing.png");
    QVERIFY(OoxmlPackage::photo(640, 480, 5).save(jpg, "jpg", 100));
    QVERIFY(SampleFiles::make(png, m_dir->path()));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({jpg, png});
    retype(window.findChild<QLineEdit*>("lineEditQuality"), typed);
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Image).value(0), QString("已完成"));

    // Both tools are given the capped level: convert as its quality, pngquant as its upper bound,
    // with a lower bound of 10 that never lies above it.
    const QString level = QString::number(quality);
    const QString range = QString::number(qMin(10, quality)) + "-" + level;
    QVERIFY2(commandLogged(" -quality " + level + "% "), qPrintable(TestEnv::logLines().join('\n')));
    QVERIFY2(commandLogged(" --quality " + range + " "), qPrintable(TestEnv::logLines().join('\n')));
    // A real level is what the JPEG holds.
    QCOMPARE(driver.states(Kind::Image), QStringList({"已完成", "已完成"}));
    QCOMPARE(jpegQuality(m_dir->filePath("c_photo.jpg")), quality);
}

void TestStartSteps::pdfQualityIsCappedAt100()
{
    const QStringList documents = {m_dir->filePath("doc1.pdf"), m_dir->filePath("doc2.pdf")};
    for (const QString& document : documents)
        QVERIFY(SampleFiles::make(document, m_dir->path()));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(documents);
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Pdf), QStringList({"已完成", "已完成"}));

    retype(window.findChild<QLineEdit*>("lineEditQuality_2"), "999");
    QCOMPARE(window.findChild<QLineEdit*>("lineEditQuality_2")->text(), QString("999"));
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Pdf), QStringList({"已完成", "已完成"}));
    for (const QString& document : documents) {
        QVERIFY(QFileInfo(m_dir->filePath("c_" + QFileInfo(document).fileName())).size() > 0);
        bool atHundred = false;
        for (const QString& line : TestEnv::logLines()) {
            QVERIFY2(!line.endsWith("-quality=999"), qPrintable(line));
            atHundred =
                atHundred || (line.startsWith("start compress " + document) && line.endsWith("-quality=100"));
        }
        QVERIFY2(atHundred, qPrintable(TestEnv::logLines().join('\n')));
    }
}

void TestStartSteps::customSizeIsScaled()
{
    const QString picture = m_dir->filePath("large.jpg");
    QVERIFY(OoxmlPackage::photo(1600, 1200, 9).save(picture, "jpg", 95));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({picture});
    QTest::mouseClick(window.findChild<QRadioButton*>("rbSetWH"), Qt::LeftButton);
    retype(window.findChild<QLineEdit*>("lineEditImageWidth"), "800");
    retype(window.findChild<QLineEdit*>("lineEditImageHeight"), "600");
    retype(window.findChild<QLineEdit*>("lineEditScale"), "50");
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Image).value(0), QString("已完成"));
    QCOMPARE(QImage(m_dir->filePath("c_large.jpg")).size(), QSize(400, 300));
}

void TestStartSteps::emptyScaleIsFullSize()
{
    // An emptied 宽高比 counts as the 100 the page opens with.
    const QString picture = m_dir->filePath("photo.jpg");
    QVERIFY(OoxmlPackage::photo(640, 480, 3).save(picture, "jpg", 95));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({picture});
    retype(window.findChild<QLineEdit*>("lineEditScale"), "");
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Image).value(0), QString("已完成"));
    QCOMPARE(QImage(m_dir->filePath("c_photo.jpg")).size(), QSize(640, 480));
}

void TestStartSteps::pictureSizeComesFromTheHeader()
{
    // Decoded, the picture would take gigabytes; its header alone gives the engine its size.
    const QString picture = m_dir->filePath("declared.png");
    QVERIFY(writeDeclaredSize(picture, 30000, 30000));
    QCOMPARE(QImageReader(picture).size(), QSize(30000, 30000));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    EngineWatch watch(window);
    QStringList resizes;
    watch.onReport([&resizes](QObject* engine, float progress, bool stat, const QString&) {
        if (!stat && progress >= 0)
            return;
        for (const QProcess* tool : engine->findChildren<QProcess*>()) {
            if (tool->arguments().value(0) == "-resize")
                resizes << tool->arguments().value(1);
        }
    });
    driver.addFiles({picture});
    runToTheEnd(driver);
    QCOMPARE(resizes, QStringList{"30000x30000!"});
}

void TestStartSteps::pictureKeepsItsShownSize_data()
{
    QTest::addColumn<QString>("name");   // of the picture, made by SampleFiles
    QTest::addColumn<bool>("toJpg");     // made into JPG, else kept in its format
    QTest::addColumn<QString>("result"); // the result's name
    QTest::addColumn<QSize>("shown");    // the result's size as a viewer shows it
    // A photo that its EXIF orientation turns upright: red on top once turned.
    QTest::newRow("turned photo") << "turned.jpg" << false << "c_turned.jpg" << QSize(480, 640);
    // A BMP whose rows are stored top first: red on top as it is.
    QTest::newRow("top-down BMP, kept") << "topdown.bmp" << false << "c_topdown.bmp" << QSize(120, 80);
    QTest::newRow("top-down BMP, made into JPG")
        << "topdown.bmp" << true << "c_topdown.jpg" << QSize(120, 80);
}

void TestStartSteps::pictureKeepsItsShownSize()
{
    // No size typed: the picture's own size as it shows, upright, whatever the way it is stored.
    QFETCH(QString, name);
    QFETCH(bool, toJpg);
    QFETCH(QString, result);
    QFETCH(QSize, shown);
    const QString picture = m_dir->filePath(name);
    QVERIFY(name.endsWith(".bmp") ? SampleFiles::makeTopDownBmp(picture)
                                  : SampleFiles::makeTurnedPhoto(picture));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({picture});
    if (name.endsWith(".bmp")) { // the panel shows the picture's size as it was added
        QCOMPARE(window.findChild<QLabel*>("labelWidth")->text(), QString("120"));
        QCOMPARE(window.findChild<QLabel*>("labelHeight")->text(), QString("80"));
    }
    if (toJpg)
        QTest::mouseClick(window.findChild<QRadioButton*>("rbFormat"), Qt::LeftButton);
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Image).value(0), QString("已完成"));
    // Every result is JPEG data, a BMP kept in its format too, under its ".bmp" name.
    QImageReader reader(m_dir->filePath(result));
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), shown);
    const QColor top = image.pixelColor(shown.width() / 2, shown.height() / 4);
    const QColor bottom = image.pixelColor(shown.width() / 2, shown.height() * 3 / 4);
    QVERIFY2(top.red() > 200 && top.blue() < 60, qPrintable(top.name()));
    QVERIFY2(bottom.blue() > 200 && bottom.red() < 60, qPrintable(bottom.name()));
}

void TestStartSteps::documentOutputNames()
{
    VX_REQUIRE_TOOL("soffice");
    const QString presentation = m_dir->filePath("report.v2.pptx");
    const QString pdf = m_dir->filePath("a.b.pdf");
    QVERIFY(SampleFiles::make(presentation, m_dir->path()));
    QVERIFY(SampleFiles::make(pdf, m_dir->path()));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({presentation, pdf});
    // A PowerPoint result is named by the base name, up to the first dot; a PDF keeps its whole name.
    driver.showKind(Kind::PowerPoint);
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::PowerPoint).value(0), QString("已完成"));
    driver.showKind(Kind::Pdf);
    runToTheEnd(driver);
    QCOMPARE(driver.states(Kind::Pdf).value(0), QString("已完成"));
    QCOMPARE(JsonParsing::readHistory(Kind::PowerPoint, "history.json").value(0).value(2),
             m_dir->filePath("c_report.pptx"));
    QCOMPARE(JsonParsing::readHistory(Kind::Pdf, "history.json").value(0).value(2),
             m_dir->filePath("c_a.b.pdf"));
    QVERIFY(QFileInfo(m_dir->filePath("c_report.pptx")).size() > 0);
    QVERIFY(QFileInfo(m_dir->filePath("c_a.b.pdf")).size() > 0);
}

void TestStartSteps::imageTickLogsTheQueue()
{
    const QStringList pictures = {m_dir->filePath("one.png"), m_dir->filePath("two.jpg")};
    for (const QString& picture : pictures)
        QVERIFY(SampleFiles::make(picture, m_dir->path()));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(pictures);
    driver.pressStart();
    QVERIFY(QMetaObject::invokeMethod(&window, "slot_pushQueue", Qt::DirectConnection));
    QCOMPARE(logLineStartingWith("m_IFLIndex"),
             QString("m_IFLIndex is 0; m_ImageFileList size is 2; m_realTimeTaskNum is 4"));
    QVERIFY(driver.waitForRunEnd(240000));
    // The tick that ends the run logs the queue once more, with every slot free again.
    QStringList ticks;
    for (const QString& line : TestEnv::logLines()) {
        if (line.startsWith("m_IFLIndex"))
            ticks << line;
    }
    QCOMPARE(ticks.last(), QString("m_IFLIndex is 2; m_ImageFileList size is 2; m_realTimeTaskNum is 4"));

    // Only the image page logs its ticks.
    const QString video = m_dir->filePath("clip.mp4");
    QVERIFY(SampleFiles::make(video, m_dir->path()));
    driver.addFiles({video});
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(240000));
    int imageTicks = 0;
    for (const QString& line : TestEnv::logLines())
        imageTicks += line.startsWith("m_IFLIndex") ? 1 : 0;
    QCOMPARE(imageTicks, ticks.size());
}

QTEST_MAIN(TestStartSteps)
#include "tst_startsteps.moc"
