#include <algorithm>
#include <cmath>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ImageCompressCore.h"
#include "ImageScale.h"
#include "OddNames.h"
#include "OutputPaths.h"
#include "PlacedResults.h"
#include "PlatformConstants.h"
#include "ProgressReport.h"
#include "ResultCheck.h"
#include "SampleFiles.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "Tool.h"

namespace
{
enum Operation { Png, Jpg, Gif };
} // namespace

Q_DECLARE_METATYPE(Operation)

// The image engine driving the real pngquant, convert and gifsicle on generated pictures, its timed
// progress, and every way a run can fail ending in exactly one failure report.
class TestImageCompressCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void compresses_data();
    void compresses();
    void keepsWhatThePictureShows_data();
    void keepsWhatThePictureShows();
    void turnedPhotoShowsTheTypedSize_data();
    void turnedPhotoShowsTheTypedSize();
    void animatedPngKeepsItsFrames();
    void ticksWhileTheToolRunsThenReportsOnce();
    void ticksStopJustAboveOne();
    void enginesBuiltAheadKeepTheirTemporaryFilesApart();
    void failureIsReportedOnce_data();
    void failureIsReportedOnce();
    void oddNames_data();
    void oddNames();

private:
    QString input(const QString& name) const { return m_inputs.filePath(name); }
    QString writeScript(const QString& name, const QByteArray& body) const;
    QString start(ImageCompressCore& engine, Operation operation, const QString& file, const QString& outDir,
                  int minQuality, int quality);
    // Waits for the finishing report, then checks it is the only one and that nothing runs on.
    void waitForEnd(ImageCompressCore& engine, QSignalSpy& spy);

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_run;
    QString m_outDir;
    QString m_tempDir;
    QString m_pngquant;
};

void TestImageCompressCore::initTestCase()
{
    VX_REQUIRE_TOOL("pngquant");
    VX_REQUIRE_TOOL("convert");
    VX_REQUIRE_TOOL("gifsicle");
    VX_REQUIRE_TOOL("ffmpeg");
    VX_REQUIRE_TOOL("ffprobe");
    QVERIFY(m_inputs.isValid());
    m_pngquant = PlatformConstants::pngquantPath();

    // A photo-like picture: ImageMagick's plasma fractal, full of colours and gradients.
    QCOMPARE(TestEnv::runTool("convert", {"-seed", "7", "-size", "320x240", "plasma:", input("photo.png")}),
             0);
    QImage photo(input("photo.png"));
    QCOMPARE(photo.size(), QSize(320, 240));
    QVERIFY(photo.save(input("photo.jpg"), "JPEG", 95));
    QVERIFY(photo.save(input("photo.bmp"), "BMP"));
    QVERIFY(QDir(m_inputs.path()).mkpath("图片 文件夹"));
    QVERIFY(QFile::copy(input("photo.png"), input("图片 文件夹/照片 \"引号\" ü.png")));
    QVERIFY(QFile::copy(input("photo.png"), input("-h.png")));

    QImage flat(300, 200, QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.fillRect(0, 0, 100, 200, Qt::red);
    painter.fillRect(100, 0, 100, 100, Qt::blue);
    painter.end();
    QVERIFY(flat.save(input("flat.png"), "PNG"));
    QVERIFY(flat.save(input("a.b.png"), "PNG"));

    QCOMPARE(TestEnv::runTool("convert",
                              {"-seed", "3", "-size", "160x120", "plasma:", "-seed", "4", "plasma:", "-seed",
                               "5", "plasma:", "-set", "delay", "10", "-loop", "0", input("anim.gif")}),
             0);
    QCOMPARE(QImageReader(input("anim.gif")).imageCount(), 3);

    // The photo with its left part transparent, where its pixels are black as most programs leave them.
    QImage clear = photo.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < clear.height(); ++y) {
        for (int x = 0; x < 120; ++x)
            clear.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
    QVERIFY(clear.save(input("clear.png"), "PNG"));
    QCOMPARE(TestEnv::runTool("convert", {input("clear.png"), input("clear.gif")}), 0);
    // A panorama wider than Debian's ImageMagick takes by default (16,000 pixels).
    QImage panorama(20000, 400, QImage::Format_RGB32);
    QPainter tiles(&panorama);
    for (int x = 0; x < panorama.width(); x += photo.width()) {
        for (int y = 0; y < panorama.height(); y += photo.height())
            tiles.drawImage(x, y, photo);
    }
    tiles.end();
    QVERIFY(panorama.save(input("panorama.jpg"), "JPEG", 95));
    // An animation whose first frame covers only part of its 200 x 150 canvas, as a viewer shows it.
    QCOMPARE(TestEnv::runTool("convert", {"-seed", "3", "-size", "100x80", "plasma:", "-set", "page",
                                          "200x150+30+20", "-seed", "4", "-size", "200x150", "plasma:",
                                          "-set", "page", "200x150+0+0", "-loop", "0", input("partial.gif")}),
             0);

    QVERIFY(SampleFiles::makeTurnedPhoto(input("turned.jpg")));
    QVERIFY(QImageReader(input("turned.jpg")).transformation() == QImageIOHandler::TransformationRotate90);
    // An animated PNG of 12 frames.
    QCOMPARE(
        TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=96x64:rate=10",
                                    "-frames:v", "12", "-plays", "0", "-f", "apng", input("moving.png")}),
        0);

    for (const char* name : {"empty.png", "empty.jpg", "empty.gif"}) {
        QFile file(input(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestImageCompressCore::init()
{
    QDir::setCurrent(QDir::rootPath());
    m_run = std::make_unique<QTemporaryDir>();
    QVERIFY(m_run->isValid());
    TestEnv::isolate(*m_run);
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix")); // the log folder, so the log holds only our lines
    OutputPaths::reset();
    m_tempDir = TempFolder::path();
    QVERIFY(m_tempDir.startsWith(PlatformConstants::tempFolder()));
    m_outDir = m_run->filePath("输出 folder") + '/';
    QVERIFY(QDir().mkpath(m_outDir));
}

QString TestImageCompressCore::writeScript(const QString& name, const QByteArray& body) const
{
    return TestEnv::writeScript(m_run->filePath(name), body);
}

QString TestImageCompressCore::start(ImageCompressCore& engine, Operation operation, const QString& file,
                                     const QString& outDir, int minQuality, int quality)
{
    switch (operation) {
    case Png:
        return engine.compressPng(file, outDir, minQuality, quality);
    case Jpg:
        return engine.compressJpg(file, outDir, quality);
    case Gif:
        return engine.compressGif(file, outDir, quality);
    }
    return QString();
}

void TestImageCompressCore::waitForEnd(ImageCompressCore& engine, QSignalSpy& spy)
{
    QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::hasFinal(spy), 30000);
    QVERIFY(!spy.wait(150)); // a second end (error and finish of one process) would come at once
    QCOMPARE(ProgressReport::firstFinal(spy), spy.count() - 1);
    const QList<QTimer*> timers = engine.findChildren<QTimer*>();
    for (const QTimer* timer : timers)
        QVERIFY(!timer->isActive());
}

void TestImageCompressCore::compresses_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QSize>("scale");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("outName");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("existing");

    const QSize none;
    QTest::newRow("png photo, kept") << "photo.png" << Png << true << none << 80 << "c_photo.png"
                                     << QSize(320, 240) << QByteArray("png") << 1 << false;
    QTest::newRow("png photo, not kept, copied as well")
        << "photo.png" << Png << false << none << 80 << "c_photo.png" << QSize(320, 240) << QByteArray("png")
        << 1 << false;
    QTest::newRow("png, older output replaced") << "photo.png" << Png << true << none << 80 << "c_photo.png"
                                                << QSize(320, 240) << QByteArray("png") << 1 << true;
    QTest::newRow("png flat, own size") << "flat.png" << Png << true << QSize(300, 200) << 80 << "c_flat.png"
                                        << QSize(300, 200) << QByteArray("png") << 1 << false;
    QTest::newRow("png scaled to half")
        << "photo.png" << Png << true << QSize(160, 120) << 80 << "c_photo.png" << QSize(160, 120)
        << QByteArray("png") << 1 << false;
    QTest::newRow("png name with two dots") << "a.b.png" << Png << true << none << 80 << "c_a.png"
                                            << QSize(300, 200) << QByteArray("png") << 1 << false;
    QTest::newRow("png name with blank, quotes, non-ASCII")
        << "图片 文件夹/照片 \"引号\" ü.png" << Png << true << QSize(200, 100) << 80
        << "c_照片 \"引号\" ü.png" << QSize(200, 100) << QByteArray("png") << 1 << false;
    // The window's lower bound of 10 comes down to a smaller quality.
    for (int low : {1, 5, 9}) {
        QTest::addRow("png quality %d", low) << "photo.png" << Png << true << none << low << "c_photo.png"
                                             << QSize(320, 240) << QByteArray("png") << 1 << false;
    }
    QTest::newRow("png name like an option") << "-h.png" << Png << true << none << 80 << "c_-h.png"
                                             << QSize(320, 240) << QByteArray("png") << 1 << false;
    QTest::newRow("jpg") << "photo.jpg" << Jpg << true << none << 60 << "c_photo.jpg" << QSize(320, 240)
                         << QByteArray("jpeg") << 1 << false;
    QTest::newRow("jpg scaled, aspect ignored")
        << "photo.jpg" << Jpg << true << QSize(200, 50) << 60 << "c_photo.jpg" << QSize(200, 50)
        << QByteArray("jpeg") << 1 << false;
    QTest::newRow("bmp kept, JPEG under .bmp") << "photo.bmp" << Jpg << true << none << 70 << "c_photo.bmp"
                                               << QSize(320, 240) << QByteArray("jpeg") << 1 << false;
    QTest::newRow("bmp kept, older output replaced")
        << "photo.bmp" << Jpg << true << QSize(100, 80) << 70 << "c_photo.bmp" << QSize(100, 80)
        << QByteArray("jpeg") << 1 << true;
    QTest::newRow("bmp to jpg") << "photo.bmp" << Jpg << false << none << 70 << "c_photo.jpg"
                                << QSize(320, 240) << QByteArray("jpeg") << 1 << false;
    QTest::newRow("gif quality 50") << "anim.gif" << Gif << true << none << 50 << "c_anim.gif"
                                    << QSize(160, 120) << QByteArray("gif") << 3 << false;
    QTest::newRow("gif quality 100") << "anim.gif" << Gif << true << none << 100 << "c_anim.gif"
                                     << QSize(160, 120) << QByteArray("gif") << 3 << false;
    QTest::newRow("gif scaled") << "anim.gif" << Gif << true << QSize(80, 60) << 90 << "c_anim.gif"
                                << QSize(80, 60) << QByteArray("gif") << 3 << false;
    QTest::newRow("gif to jpg, first frame") << "anim.gif" << Jpg << false << none << 80 << "c_anim.jpg"
                                             << QSize(160, 120) << QByteArray("jpeg") << 1 << false;
    QTest::newRow("gif to jpg scaled") << "anim.gif" << Jpg << false << QSize(64, 48) << 80 << "c_anim.jpg"
                                       << QSize(64, 48) << QByteArray("jpeg") << 1 << false;
}

void TestImageCompressCore::compresses()
{
    QFETCH(QString, file);
    QFETCH(Operation, operation);
    QFETCH(bool, keep);
    QFETCH(QSize, scale);
    QFETCH(int, quality);
    QFETCH(QString, outName);
    QFETCH(QSize, size);
    QFETCH(QByteArray, format);
    QFETCH(int, frames);
    QFETCH(bool, existing);

    // A name that begins with '-' is given relative to its folder, as it could come from a command line.
    QString inPath = input(file);
    if (file.startsWith('-')) {
        QDir::setCurrent(m_inputs.path());
        inPath = file;
    }
    const QString outPath = m_outDir + outName;
    if (existing) { // this input's earlier result, placed by the program
        QFile older(outPath);
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("older result");
        older.close();
        QVERIFY(PlacedResults::record(outPath, inPath));
    }

    ImageCompressCore engine(m_pngquant, PlatformConstants::convertProgram(), nullptr);
    const int number = g_imageEngineCount;
    // Every file of the job lies in the job's own folder.
    const QString job = m_tempDir + QString("image_%1/").arg(number);
    const QString scaled =
        job + QString("scale_%1.%2").arg(g_imageScaleCount + 1).arg(QFileInfo(file).suffix());
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(keep);
    if (scale.isValid())
        engine.setScaleSize(scale.width(), scale.height());

    const int minQuality = qMin(10, quality);
    const QString returned = start(engine, operation, inPath, m_outDir, minQuality, quality);
    const bool bmpKept = keep && outName.endsWith(".bmp");
    QCOMPARE(returned, outPath);
    waitForEnd(engine, spy);

    // Ticks come first, each unfinished; the end is (1.0, true, output, output size / input size).
    for (int i = 0; i + 1 < spy.count(); ++i) {
        const ProgressReport tick = ProgressReport::at(spy, i);
        QVERIFY(!tick.stat && tick.progress > 0.0f && tick.progress < 1.01f);
    }
    const ProgressReport end = ProgressReport::last(spy);
    QCOMPARE(end.progress, 1.0f);
    QVERIFY(end.stat);
    QCOMPARE(end.filePath, outPath);
    const qint64 inSize = QFileInfo(inPath).size();
    const qint64 outSize = QFileInfo(outPath).size();
    QVERIFY(end.rate == float(outSize) / float(inSize));
    QVERIFY2(outSize < inSize, qPrintable(QString("%1 >= %2").arg(outSize).arg(inSize)));

    QImageReader reader(outPath);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), size);
    QCOMPARE(reader.imageCount(), frames);
    QVERIFY(!reader.read().isNull());
    // Nothing but the result: no JPEG of a kept BMP beside it, no intermediate file left behind.
    if (bmpKept)
        QVERIFY(!QFile::exists(m_outDir + "c_photo.jpg"));
    QCOMPARE(TestEnv::entriesUnder(m_tempDir), QStringList());

    // The commands are logged as the product writes them, every path in double quotes.
    const QString toolInput = scale.isValid() ? scaled : inPath;
    QStringList expected;
    if (operation == Png) {
        expected << QString("start compress %1: \"%2\" --quality %3-%4 -f \"%1\" -o \"%5c_%6.png\"")
                        .arg(toolInput, m_pngquant, QString::number(minQuality), QString::number(quality),
                             job, QString::number(number));
        // The engine's temporary folder, private to its owner.
        const QFileDevice::Permissions shared = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFileInfo(m_tempDir).permissions() & shared, QFileDevice::Permissions());
    } else if (operation == Jpg) {
        // convert reads a link of the engine's own name (or the scaled copy) and writes its JPEG in the
        // temporary folder, which then takes the output's name: no name is read as convert's syntax.
        const QString link = job + QString("in_%1.%2").arg(number).arg(QFileInfo(file).suffix());
        const QString converted = scale.isValid() ? scaled : link;
        const QString read = converted + (converted.endsWith(".gif") ? "[0]" : "");
        const QString written = job + QString("c_%1.jpg").arg(number);
        expected << "jpg compress " + inPath
                 << QString("start compress %1: \"convert\" -quality %2% \"%1\"  \"%3\"")
                        .arg(read, QString::number(quality), written);
    } else {
        const int colours = quality >= 100 ? 256 : 256 * quality / 100;
        // gifsicle writes in the temporary folder too; its result takes the output's name once whole.
        expected << QString("gifcomp\"gifsicle\" -O3 \"%1\" --colors %2 -o \"%3c_%4.gif\"")
                        .arg(toolInput, QString::number(colours), job, QString::number(number));
    }
    QCOMPARE(TestEnv::logLines(), expected);
}

void TestImageCompressCore::keepsWhatThePictureShows_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("clear"); // a point that was transparent, white in the result; null: none

    QTest::newRow("transparent png to jpg, white there")
        << "clear.png" << false << QSize(320, 240) << QPoint(40, 120);
    QTest::newRow("transparent gif to jpg, white there")
        << "clear.gif" << false << QSize(320, 240) << QPoint(40, 120);
    QTest::newRow("20000x400 jpg kept") << "panorama.jpg" << true << QSize(20000, 400) << QPoint();
    QTest::newRow("gif whose first frame covers part of it, to jpg")
        << "partial.gif" << false << QSize(200, 150) << QPoint(170, 130);
}

void TestImageCompressCore::keepsWhatThePictureShows()
{
    QFETCH(QString, file);
    QFETCH(bool, keep);
    QFETCH(QSize, size);
    QFETCH(QPoint, clear);
    const QString inPath = input(file);

    ImageCompressCore engine(m_pngquant, PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(keep);
    engine.setScaleSize(size.width(), size.height()); // the picture's own size, as the window asks
    const QString outPath = engine.compressJpg(inPath, m_outDir, 70);
    waitForEnd(engine, spy);

    QVERIFY2(ProgressReport::last(spy).stat, qPrintable(TestEnv::logLines().join('\n')));
    // A real encode, not the copy of the input that a result no smaller would give way to.
    QVERIFY(QFileInfo(outPath).size() < QFileInfo(inPath).size());
    QImageReader reader(outPath);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.size(), size);
    if (clear.isNull())
        return;
    const QColor shown = reader.read().pixelColor(clear);
    QVERIFY2(shown.red() > 245 && shown.green() > 245 && shown.blue() > 245, qPrintable(shown.name()));
}

void TestImageCompressCore::turnedPhotoShowsTheTypedSize_data()
{
    QTest::addColumn<QSize>("size"); // as typed: the size the user sees
    QTest::newRow("typed 201x403") << QSize(201, 403);
    QTest::newRow("its own size as shown") << QSize(480, 640);
}

void TestImageCompressCore::turnedPhotoShowsTheTypedSize()
{
    QFETCH(QSize, size);
    ImageCompressCore engine(m_pngquant, PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(true);
    engine.setScaleSize(size.width(), size.height());
    const QString outPath = engine.compressJpg(input("turned.jpg"), m_outDir, 80);
    waitForEnd(engine, spy);
    QVERIFY2(ProgressReport::last(spy).stat, qPrintable(TestEnv::logLines().join('\n')));

    // As a viewer shows it: the typed size, upright (red on top).
    QImageReader reader(outPath);
    reader.setAutoTransform(true);
    const QImage shown = reader.read();
    QCOMPARE(shown.size(), size);
    const QColor top = shown.pixelColor(size.width() / 2, size.height() / 4);
    const QColor bottom = shown.pixelColor(size.width() / 2, size.height() * 3 / 4);
    QVERIFY2(top.red() > 200 && top.blue() < 60, qPrintable(top.name()));
    QVERIFY2(bottom.blue() > 200 && bottom.red() < 60, qPrintable(bottom.name()));
}

void TestImageCompressCore::animatedPngKeepsItsFrames()
{
    const QString inPath = input("moving.png");
    ImageCompressCore engine(m_pngquant, PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(true);
    engine.setScaleSize(96, 64); // its own size, as the window asks
    const QString outPath = engine.compressPng(inPath, m_outDir, 10, 50);
    waitForEnd(engine, spy);

    // pngquant keeps the first frame only: the animation comes back as it was.
    QVERIFY(ProgressReport::last(spy).stat);
    QCOMPARE(ProgressReport::last(spy).rate, 1.0f);
    QByteArray frames;
    QCOMPARE(TestEnv::runTool("ffprobe",
                              {"-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames",
                               "-of", "csv=p=0", outPath},
                              &frames),
             0);
    QCOMPARE(frames.trimmed(), QByteArray("12"));
    // The check of a PNG result holds it to the source's frames: one frame of twelve is no result.
    QCOMPARE(ResultCheck::pngFrames(outPath, 12), QString());
    QCOMPARE(ResultCheck::pngFrames(input("flat.png"), 12), QString("1 frames instead of 12"));
    QCOMPARE(
        TestEnv::logLines(),
        (QStringList{QString("image compress %1: an animated PNG of 12 frames, which pngquant cannot keep")
                         .arg(inPath),
                     QString("image compress %1: the result is not smaller, kept a copy").arg(inPath)}));
}

void TestImageCompressCore::ticksWhileTheToolRunsThenReportsOnce()
{
    // pngquant waits until two one-second ticks have shown, then does its work.
    const QString go = m_run->filePath("go");
    const QString slowPngquant = writeScript(
        "pngquant",
        QString("while [ ! -e '%1' ]; do sleep 0.05; done\nexec '%2' \"$@\"").arg(go, m_pngquant).toUtf8());
    ImageCompressCore engine(slowPngquant, "convert", nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(true);
    const QString outPath = engine.compressPng(input("photo.png"), m_outDir, 10, 80);
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 2, 60000);
    QVERIFY(QFile(go).open(QIODevice::WriteOnly));
    waitForEnd(engine, spy);

    // Two ticks at least, stepping by 0.1, then the one end.
    QVERIFY(spy.count() >= 3);
    float step = 0.0f;
    for (int i = 0; i + 1 < spy.count(); ++i) {
        step = float(double(step) + 0.1);
        const ProgressReport tick = ProgressReport::at(spy, i);
        QVERIFY(tick.progress == step && !tick.stat && tick.filePath == outPath && tick.rate == 0.0f);
    }
    const ProgressReport end = ProgressReport::last(spy);
    QVERIFY(end.progress == 1.0f && end.stat && end.filePath == outPath);
    QVERIFY(end.rate > 0.0f && end.rate < 1.0f);
}

void TestImageCompressCore::ticksStopJustAboveOne()
{
    ImageCompressCore engine(m_pngquant, "convert", nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 10, 60000);
    const float expected[] = {0.1f, 0.2f,        0.3f,       0.4f,       0.5f,
                              0.6f, 0.70000005f, 0.8000001f, 0.9000001f, 1.0000001f};
    for (int i = 0; i < 10; ++i) {
        const ProgressReport tick = ProgressReport::at(spy, i);
        QVERIFY2(tick.progress == expected[i], qPrintable(QString::number(tick.progress, 'g', 9)));
        QVERIFY(!tick.stat && tick.filePath.isEmpty() && tick.rate == 0.0f);
    }
    QVERIFY(ProgressReport::at(spy, 9).progress > 1.0f);
    QVERIFY(!spy.wait(1500)); // the eleventh second reports nothing
}

void TestImageCompressCore::enginesBuiltAheadKeepTheirTemporaryFilesApart()
{
    ImageCompressCore first(m_pngquant, "convert", nullptr);
    const int firstNumber = g_imageEngineCount;
    ImageCompressCore second(m_pngquant, "convert", nullptr);
    QSignalSpy firstSpy(&first, &ImageCompressCore::sig_sendProgress);
    QSignalSpy secondSpy(&second, &ImageCompressCore::sig_sendProgress);
    first.setKeepFormat(true);
    second.setKeepFormat(true);
    first.compressPng(input("photo.png"), m_outDir, 10, 80);
    second.compressPng(input("flat.png"), m_outDir, 10, 80);
    waitForEnd(first, firstSpy);
    waitForEnd(second, secondSpy);

    QVERIFY(ProgressReport::last(firstSpy).stat);
    QVERIFY(ProgressReport::last(secondSpy).stat);
    QCOMPARE(QImageReader(m_outDir + "c_photo.png").size(), QSize(320, 240));
    QCOMPARE(QImageReader(m_outDir + "c_flat.png").size(), QSize(300, 200));
    QCOMPARE(g_imageEngineCount, firstNumber + 1);
    // Each removed its own numbered result when it ended.
    QVERIFY(!QFileInfo::exists(m_tempDir + QString("image_%1").arg(firstNumber)));
    QVERIFY(!QFileInfo::exists(m_tempDir + QString("image_%1").arg(firstNumber + 1)));
}

void TestImageCompressCore::failureIsReportedOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("pngquant"); // "@name": a stand-in script, empty: the real one
    QTest::addColumn<QString>("convert");
    QTest::addColumn<QSize>("scale");
    QTest::addColumn<int>("minQuality");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("obstacle"); // "nofolder": no output folder
    QTest::addColumn<int>("timeLimit");
    // %IN input, %OUT reported output, %JPG convert's output, %TMP pngquant's result
    QTest::addColumn<QStringList>("lines");

    const QSize none;
    const QString fail = "image compress fail %IN: ";
    QTest::newRow("png missing") << "none.png" << Png << ""
                                 << "convert" << none << 10 << 80 << "" << 0
                                 << QStringList{fail + "input missing"};
    QTest::newRow("jpg missing") << "none.jpg" << Jpg << ""
                                 << "convert" << none << 10 << 80 << "" << 0
                                 << QStringList{fail + "input missing"};
    QTest::newRow("gif missing") << "none.gif" << Gif << ""
                                 << "convert" << none << 10 << 80 << "" << 0
                                 << QStringList{fail + "input missing"};
    QTest::newRow("gif missing, scale set")
        << "none.gif" << Gif << ""
        << "convert" << QSize(10, 10) << 10 << 80 << "" << 0 << QStringList{fail + "input missing"};
    QTest::newRow("pngquant cannot start") << "photo.png" << Png << "/nonexistent/pngquant"
                                           << "convert" << none << 10 << 80 << "" << 0
                                           << QStringList{fail + "cannot start /nonexistent/pngquant"};
    QTest::newRow("convert cannot start") << "photo.jpg" << Jpg << ""
                                          << "/nonexistent/convert" << none << 10 << 80 << "" << 0
                                          << QStringList{fail + "cannot start /nonexistent/convert"};
    QTest::newRow("resize cannot start")
        << "photo.png" << Png << ""
        << "/nonexistent/convert" << QSize(10, 10) << 10 << 80 << "" << 0
        << QStringList{fail + "cannot resize: cannot start /nonexistent/convert"};
    QTest::newRow("resize beyond what JPEG holds") << "photo.jpg" << Jpg << ""
                                                   << "convert" << QSize(70000, 10) << 10 << 80 << "" << 0
                                                   << QStringList{fail + "cannot resize: exit code 1"};
    QTest::newRow("pngquant quality unreachable (99)")
        << "photo.png" << Png << ""
        << "convert" << none << 99 << 100 << "" << 0 << QStringList{fail + "exit code 99"};
    QTest::newRow("pngquant crashes")
        << "photo.png" << Png << "@crash"
        << "convert" << none << 10 << 80 << "" << 0 << QStringList{fail + "crashed"};
    QTest::newRow("pngquant hangs") << "photo.png" << Png << "@hang"
                                    << "convert" << none << 10 << 80 << "" << 400
                                    << QStringList{fail + "timed out"};
    QTest::newRow("pngquant writes nothing")
        << "photo.png" << Png << "@silent"
        << "convert" << none << 10 << 80 << "" << 0 << QStringList{fail + "no output %TMP"};
    QTest::newRow("pngquant writes an empty file")
        << "photo.png" << Png << "@empty"
        << "convert" << none << 10 << 80 << "" << 0 << QStringList{fail + "no output %TMP"};
    QTest::newRow("convert crashes") << "photo.jpg" << Jpg << ""
                                     << "@crash" << none << 10 << 80 << "" << 0
                                     << QStringList{fail + "crashed"};
    QTest::newRow("empty png") << "empty.png" << Png << ""
                               << "convert" << none << 10 << 80 << "" << 0
                               << QStringList{fail + "exit code 25"};
    QTest::newRow("empty jpg") << "empty.jpg" << Jpg << ""
                               << "convert" << none << 10 << 80 << "" << 0
                               << QStringList{fail + "exit code 1"};
    QTest::newRow("empty gif") << "empty.gif" << Gif << ""
                               << "convert" << none << 10 << 80 << "" << 0
                               << QStringList{fail + "exit code 1"};
    QTest::newRow("png output folder missing")
        << "photo.png" << Png << ""
        << "convert" << none << 10 << 80 << "nofolder" << 0 << QStringList{fail + "cannot move %TMP to %OUT"};
    QTest::newRow("bmp output folder missing")
        << "photo.bmp" << Jpg << ""
        << "convert" << none << 10 << 80 << "nofolder" << 0 << QStringList{fail + "cannot move %JPG to %OUT"};
}

void TestImageCompressCore::failureIsReportedOnce()
{
    QFETCH(QString, file);
    QFETCH(Operation, operation);
    QFETCH(QString, pngquant);
    QFETCH(QString, convert);
    QFETCH(QSize, scale);
    QFETCH(int, minQuality);
    QFETCH(int, quality);
    QFETCH(QString, obstacle);
    QFETCH(int, timeLimit);
    QFETCH(QStringList, lines);

    const auto standIn = [this](const QString& name) {
        if (name == "@crash")
            return writeScript("crash", "kill -KILL $$");
        if (name == "@hang")
            return writeScript("hang", "exec sleep 30");
        if (name == "@silent")
            return writeScript("silent", "exit 0");
        if (name == "@empty")
            return writeScript("empty", "for a; do last=$a; done\n: > \"$last\"");
        return name;
    };
    pngquant = pngquant.isEmpty() ? m_pngquant : standIn(pngquant);
    convert = standIn(convert);

    const QString outDir = obstacle == "nofolder" ? m_run->filePath("no such folder") + '/' : m_outDir;
    const QString suffix = operation == Png ? ".png" : operation == Jpg ? ".jpg" : ".gif";
    const QString base = QFileInfo(file).baseName();
    const QString jpgPath = m_tempDir + QString("image_%1/c_%1.jpg").arg(g_imageEngineCount + 1);
    QString outPath = outDir + "c_" + base + suffix;
    if (operation == Jpg && file.endsWith(".bmp"))
        outPath = outDir + "c_" + base + ".bmp";

    ImageCompressCore engine(pngquant, convert, nullptr);
    const QString tempOut = m_tempDir + QString("image_%1/c_%1.png").arg(g_imageEngineCount);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(true);
    if (timeLimit > 0)
        engine.setTimeLimit(timeLimit);
    if (scale.isValid())
        engine.setScaleSize(scale.width(), scale.height());
    start(engine, operation, input(file), outDir, minQuality, quality);
    waitForEnd(engine, spy);

    // Progress ticks may come first on a busy machine; then exactly one failure, and nothing after it.
    QVERIFY(spy.count() >= 1);
    for (int i = 0; i + 1 < spy.count(); ++i) {
        QVERIFY(ProgressReport::at(spy, i).progress > 0.0f);
        QVERIFY(!ProgressReport::at(spy, i).stat);
    }
    const ProgressReport end = ProgressReport::last(spy);
    QCOMPARE(end.progress, -1.0f);
    QVERIFY(!end.stat);
    QCOMPARE(end.filePath, QString()); // a failure has no output
    QVERIFY(std::isfinite(end.rate) && end.rate == 0.0f);
    // A failed job leaves neither a partial output nor an intermediate file.
    QVERIFY(!QFile::exists(outPath));
    QCOMPARE(TestEnv::entriesUnder(m_tempDir), QStringList());

    for (QString& line : lines)
        line.replace("%IN", input(file))
            .replace("%OUT", outPath)
            .replace("%JPG", jpgPath)
            .replace("%TMP", tempOut);
    QStringList logged = TestEnv::logLines();
    // The command lines logged before the start are shown by the success cases.
    logged.erase(std::remove_if(logged.begin(), logged.end(),
                                [](const QString& line) {
                                    return line.startsWith("start compress ") ||
                                           line.startsWith("jpg compress ") || line.startsWith("gifcomp");
                                }),
                 logged.end());
    QCOMPARE(logged, lines);
}

void TestImageCompressCore::oddNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("source"); // the picture given under that name
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<bool>("scaled"); // resized first, to its own size, as the window always asks
    QTest::addColumn<QString>("outSuffix");

    struct Way {
        const char* tag;
        const char* source;
        Operation operation;
        bool keep;
        bool scaled;
        const char* outSuffix;
    };
    const Way ways[] = {
        {"jpg kept", "photo.jpg", Jpg, true, false, "jpg"},
        {"jpg kept, scaled", "photo.jpg", Jpg, true, true, "jpg"},
        {"png to jpg", "photo.png", Jpg, false, false, "jpg"},
        {"gif to jpg", "anim.gif", Jpg, false, false, "jpg"},
        {"bmp kept", "photo.bmp", Jpg, true, false, "bmp"},
        {"png kept, scaled", "photo.png", Png, true, true, "png"},
        {"gif kept", "anim.gif", Gif, true, false, "gif"},
        {"gif kept, scaled", "anim.gif", Gif, true, true, "gif"},
    };
    for (const QString& name : OddNames::baseNames()) {
        for (const Way& way : ways) {
            QTest::addRow("%s: %s", way.tag, qPrintable(OddNames::tag(name)))
                << name << QString(way.source) << way.operation << way.keep << way.scaled
                << QString(way.outSuffix);
        }
    }
}

void TestImageCompressCore::oddNames()
{
    QFETCH(QString, name);
    QFETCH(QString, source);
    QFETCH(Operation, operation);
    QFETCH(bool, keep);
    QFETCH(bool, scaled);
    QFETCH(QString, outSuffix);

    const QString folder = m_run->filePath("pictures");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(OddNames::makeNeighbours(folder));
    const QString inPath = folder + '/' + name + '.' + QFileInfo(source).suffix();
    QVERIFY(QFile::copy(input(source), inPath));
    const QMap<QString, QByteArray> before = OddNames::contentsOf(folder);

    ImageCompressCore engine(m_pngquant, PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(keep);
    const QSize size = QImageReader(inPath).size();
    if (scaled)
        engine.setScaleSize(size.width(), size.height());
    const QString outName = "c_" + name + '.' + outSuffix;
    QCOMPARE(start(engine, operation, inPath, folder + '/', 10, 80), folder + '/' + outName);
    waitForEnd(engine, spy);

    QCOMPARE(ProgressReport::last(spy).filePath, folder + '/' + outName);
    QVERIFY(ProgressReport::last(spy).stat);
    const QString differences = OddNames::differences(before, OddNames::contentsOf(folder), outName);
    QVERIFY2(differences.isEmpty(), qPrintable(differences));
    QImageReader result(folder + '/' + outName);
    result.setDecideFormatFromContent(true);
    QCOMPARE(result.size(), size);
    QVERIFY(!result.read().isNull());
    QCOMPARE(TestEnv::entriesUnder(m_tempDir), QStringList());
}

QTEST_GUILESS_MAIN(TestImageCompressCore)
#include "tst_imagecompresscore.moc"
