// Files that the real tools cannot make smaller: a result in the input's own format comes back as a
// copy of the input (rate 1.0, one log line), while a result in another format stays as the tool
// made it, even when larger. Each case first runs the tool here the way its engine runs it, so the
// case shows what the tool alone would have handed back.
#include <functional>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "DocCompressCore.h"
#include "ImageCompressCore.h"
#include "OoxmlPackage.h"
#include "OutputPaths.h"
#include "PlatformConstants.h"
#include "ProgressReport.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "Tool.h"
#include "VideoCompressCore.h"

namespace
{
enum Operation { Png, Jpg, Gif };

// Waits, processing events, until the engine has sent its final report.
bool waitForFinalReport(const QSignalSpy& spy, int timeoutMs)
{
    return QTest::qWaitFor([&spy]() { return ProgressReport::hasFinal(spy); }, timeoutMs);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("cannot read " + path.toUtf8());
}

QString keptCopyLine(const QString& kind, const QString& input)
{
    return QString("%1 compress %2: the result is not smaller, kept a copy").arg(kind, input);
}

// The log's kept-copy lines: the engines' other lines (their commands) are shown by their own tests.
QStringList keptCopyLines()
{
    return TestEnv::logLines().filter("the result is not smaller, kept a copy");
}

// A word for /bin/sh that stands for `text` exactly.
QString shellQuote(QString text)
{
    return '\'' + text.replace('\'', "'\\''") + '\'';
}

// "format,codec,width,height" of a video, as ffprobe reads it.
QString probeVideo(const QString& path)
{
    QByteArray output;
    const int code =
        TestEnv::runTool("ffprobe",
                         {"-v", "error", "-select_streams", "v:0", "-show_entries",
                          "format=format_name:stream=codec_name,width,height", "-of", "csv=p=0", path},
                         &output);
    return code == 0 ? QString::fromUtf8(output).simplified() : QString("ffprobe exit %1").arg(code);
}
} // namespace

Q_DECLARE_METATYPE(Operation)

class TestNeverLarger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void pictures_data();
    void pictures();
    void videos_data();
    void videos();
    void documents_data();
    void documents();

    void failedPictureCopyLeavesNothing();
    void failedVideoCopyLeavesNothing();
    void failedDocumentCopyLeavesNothing();

private:
    QString input(const QString& name) const { return m_inputs.filePath(name); }
    // What the picture tool makes of `file` when run here as the engine runs it.
    QString pictureToolResult(Operation operation, const QString& file, const QSize& scale, int quality);
    QString videoToolResult(const QString& file, bool toMp4, const VideoCompressParam& param);
    VideoCompressParam videoParam(const QString& file) const;
    // A shell script that runs `program` with its arguments, then removes `doomed` (or puts a folder
    // with one entry in its place): the input goes while the tool works.
    QString removingWrapper(const QString& name, const QString& program, const QString& doomed,
                            bool folderInstead = false) const;
    void checkOnlyOutput(const QString& output) const;

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_run;
    QString m_outDir;
    QString m_toolDir; // the tools' results, run here for comparison
};

void TestNeverLarger::initTestCase()
{
    VX_REQUIRE_TOOL("pngquant");
    VX_REQUIRE_TOOL("convert");
    VX_REQUIRE_TOOL("gifsicle");
    VX_REQUIRE_TOOL("ffmpeg");
    VX_REQUIRE_TOOL("ffprobe");
    QVERIFY(m_inputs.isValid());
    QVERIFY(QFileInfo(PlatformConstants::compressionToolPath()).isExecutable());
    const QString pngquant = PlatformConstants::pngquantPath();

    // A GIF of few colours, already packed by gifsicle itself.
    QCOMPARE(TestEnv::runTool("convert",
                              {"-seed", "1", "-size", "64x64", "plasma:", "-colors", "32", input("raw.gif")}),
             0);
    QCOMPARE(TestEnv::runTool("gifsicle", {"-O3", input("raw.gif"), "-o", input("packed.gif")}), 0);
    // A two-colour PNG, already quantised by pngquant itself.
    QCOMPARE(TestEnv::runTool("convert", {"-size", "24x24", "xc:white", "-fill", "red", "-draw",
                                          "rectangle 0,0 11,23", "-colors", "2", input("raw.png")}),
             0);
    QCOMPARE(
        TestEnv::runTool(pngquant, {"--quality", "10-80", "-f", input("raw.png"), "-o", input("tiny.png")}),
        0);
    // A grey ramp: eight-bit grey packs it better than any palette.
    QCOMPARE(TestEnv::runTool("convert", {"-size", "64x64", "gradient:black-white", "-colorspace", "gray",
                                          "-depth", "8", input("ramp.png")}),
             0);
    // A JPEG saved at low quality, once as .jpg and once as .jpeg.
    QCOMPARE(TestEnv::runTool(
                 "convert", {"-seed", "7", "-size", "64x48", "plasma:", "-quality", "20", input("low.jpg")}),
             0);
    QVERIFY(QFile::copy(input("low.jpg"), input("low.jpeg")));
    // A one-bit BMP: a few bytes a row, less than any JPEG of it.
    QCOMPARE(
        TestEnv::runTool("convert", {"-size", "24x24", "xc:white", "-fill", "black", "-draw",
                                     "rectangle 0,0 11,23", "-type", "bilevel", "BMP3:" + input("mono.bmp")}),
        0);

    // 640x360 clips at 80 kbit/s: more than crf 24 needs for them.
    for (const QString& name : {QString("low.mp4"), QString("low.mkv")}) {
        QCOMPARE(TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                             "testsrc=size=640x360:rate=25:duration=2", "-c:v", "libx264",
                                             "-b:v", "80k", "-pix_fmt", "yuv420p", input(name)}),
                 0);
        QVERIFY(QFileInfo(input(name)).size() > 0);
    }

    // A Word document with two small pictures, already packed by the compression tool itself.
    const QList<OoxmlPackage::Media> media = {
        {"image1.png", OoxmlPackage::png(OoxmlPackage::diagram(120, 90))},
        {"image2.jpeg", OoxmlPackage::jpeg(OoxmlPackage::photo(120, 90, 5), 40)},
    };
    QVERIFY(OoxmlPackage::write(input("raw.docx"), OoxmlPackage::wordDocument(media)));
    QVERIFY(OoxmlPackage::write(input("raw.pptx"), OoxmlPackage::presentation(media)));
    for (const QString& kind : {QString("docx"), QString("pptx")}) {
        const ToolCommand command = DocCompressCore::compressCommand(
            PlatformConstants::compressionToolPath(), input("raw." + kind), input("small." + kind), Normal);
        QCOMPARE(TestEnv::runTool(command.program(), command.arguments()), 0);
        QVERIFY(QFileInfo(input("small." + kind)).size() > 0);
    }
}

void TestNeverLarger::init()
{
    QDir::setCurrent(QDir::rootPath());
    m_run = std::make_unique<QTemporaryDir>();
    QVERIFY(m_run->isValid());
    TestEnv::isolate(*m_run);
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    g_infoJsonPath = m_run->filePath("info.json");
    OutputPaths::reset();
    QVERIFY(!TempFolder::path().isEmpty());
    m_outDir = m_run->filePath("out") + '/';
    m_toolDir = m_run->filePath("tool") + '/';
    QVERIFY(QDir().mkpath(m_outDir));
    QVERIFY(QDir().mkpath(m_toolDir));
}

void TestNeverLarger::checkOnlyOutput(const QString& output) const
{
    // No passing name and no intermediate file beside the result.
    const QStringList expected = output.isEmpty() ? QStringList() : QStringList(QFileInfo(output).fileName());
    QCOMPARE(QDir(m_outDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), expected);
}

QString TestNeverLarger::pictureToolResult(Operation operation, const QString& file, const QSize& scale,
                                           int quality)
{
    const bool gif = file.endsWith(".gif");
    QString source = file;
    if (scale.isValid()) {
        const QString size = QString("%1x%2").arg(scale.width()).arg(scale.height());
        source = m_toolDir + "scaled." + QFileInfo(file).suffix();
        const int code = gif ? TestEnv::runTool("gifsicle", {"--resize", size, "-i", file, "-o", source})
                             : TestEnv::runTool("convert", {"-resize", size + '!', file, source});
        if (code != 0)
            return QString();
    }
    QString result;
    int code = -1;
    if (operation == Png) {
        result = m_toolDir + "result.png";
        code = TestEnv::runTool(PlatformConstants::pngquantPath(),
                                {"--quality", QString("10-%1").arg(quality), "-f", source, "-o", result});
    } else if (operation == Jpg) {
        result = m_toolDir + "result.jpg";
        code = TestEnv::runTool(
            "convert", {"-quality", QString("%1%").arg(quality), source + (gif ? "[0]" : ""), result});
    } else {
        result = m_toolDir + "result.gif";
        const int colours = quality >= 100 ? 256 : 256 * quality / 100;
        code =
            TestEnv::runTool("gifsicle", {"-O3", source, "--colors", QString::number(colours), "-o", result});
    }
    return code == 0 ? result : QString();
}

void TestNeverLarger::pictures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QSize>("scale");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("outName");
    QTest::addColumn<bool>("sameFormat");

    const QSize none;
    QTest::newRow("gif packed by gifsicle")
        << "packed.gif" << Gif << true << none << 100 << "c_packed.gif" << true;
    // The window always sets a size; gifsicle's resize interlaces the picture, which costs room.
    QTest::newRow("gif resized to its own size")
        << "packed.gif" << Gif << true << QSize(64, 64) << 90 << "c_packed.gif" << true;
    QTest::newRow("png quantised by pngquant")
        << "tiny.png" << Png << true << none << 80 << "c_tiny.png" << true;
    QTest::newRow("png grey ramp") << "ramp.png" << Png << true << none << 80 << "c_ramp.png" << true;
    QTest::newRow("jpg of low quality") << "low.jpg" << Jpg << true << none << 60 << "c_low.jpg" << true;
    QTest::newRow("jpeg of low quality, jpg result")
        << "low.jpeg" << Jpg << true << none << 60 << "c_low.jpg" << true;
    QTest::newRow("bmp kept, one bit a pixel")
        << "mono.bmp" << Jpg << true << none << 70 << "c_mono.bmp" << true;
    QTest::newRow("png made into jpg") << "tiny.png" << Jpg << false << none << 80 << "c_tiny.jpg" << false;
}

void TestNeverLarger::pictures()
{
    QFETCH(QString, file);
    QFETCH(Operation, operation);
    QFETCH(bool, keep);
    QFETCH(QSize, scale);
    QFETCH(int, quality);
    QFETCH(QString, outName);
    QFETCH(bool, sameFormat);

    const QString in = input(file);
    const qint64 inSize = QFileInfo(in).size();
    const QString tool = pictureToolResult(operation, in, scale, quality);
    QVERIFY(!tool.isEmpty());
    const qint64 toolSize = QFileInfo(tool).size();
    // The case stands only while the tool cannot make this input smaller; a conversion makes it larger.
    QVERIFY2(sameFormat ? toolSize >= inSize : toolSize > inSize,
             qPrintable(QString("tool result %1, input %2").arg(toolSize).arg(inSize)));

    ImageCompressCore engine(PlatformConstants::pngquantPath(), PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(keep);
    if (scale.isValid())
        engine.setScaleSize(scale.width(), scale.height());
    QString out;
    if (operation == Png)
        out = engine.compressPng(in, m_outDir, 10, quality);
    else if (operation == Jpg)
        out = engine.compressJpg(in, m_outDir, quality);
    else
        out = engine.compressGif(in, m_outDir, quality);
    QCOMPARE(out, m_outDir + outName);
    QVERIFY(waitForFinalReport(spy, 30000));
    const ProgressReport end = ProgressReport::last(spy);
    QVERIFY(!spy.wait(150)); // nothing after the end
    const qint64 outSize = QFileInfo(out).size();
    qInfo("%s: input %lld, tool result %lld, final %lld", QTest::currentDataTag(), inSize, toolSize, outSize);

    QCOMPARE(end.progress, 1.0f);
    QVERIFY(end.stat);
    QCOMPARE(end.filePath, out);
    if (sameFormat) {
        QVERIFY(outSize <= inSize);
        QCOMPARE(readAll(out), readAll(in));
        QCOMPARE(end.rate, 1.0f);
        QCOMPARE(keptCopyLines(), QStringList(keptCopyLine("image", in)));
    } else {
        // The JPEG that convert made, larger than the input: what was asked for.
        QCOMPARE(readAll(out), readAll(tool));
        QVERIFY(outSize > inSize);
        QCOMPARE(end.rate, float(double(outSize) / double(inSize)));
        QImageReader reader(out);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(keptCopyLines(), QStringList());
    }
    checkOnlyOutput(out);
}

VideoCompressParam TestNeverLarger::videoParam(const QString& file) const
{
    VideoCompressCore probe(nullptr);
    const VideoInfo info = probe.videoInfo(file);
    VideoCompressParam param;
    param.width = info.width;
    param.height = info.height;
    param.scale = 1.0f;
    param.crf = 24;
    return param;
}

QString TestNeverLarger::videoToolResult(const QString& file, bool toMp4, const VideoCompressParam& param)
{
    const QString result = m_toolDir + VideoCompressCore::outputName(file, toMp4);
    const ToolCommand command = VideoCompressCore::ffmpegCommand(
        PlatformConstants::ffmpegPath(), file, result, VideoCompressCore::codecFor(file, toMp4), param.crf,
        VideoCompressCore::targetSize(param));
    return TestEnv::runTool(command.program(), command.arguments()) == 0 ? result : QString();
}

void TestNeverLarger::videos_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("toMp4");
    QTest::addColumn<QString>("outName");
    QTest::addColumn<bool>("sameFormat");
    QTest::newRow("mp4 kept") << "low.mp4" << false << "c_low.mp4" << true;
    QTest::newRow("mp4 to mp4") << "low.mp4" << true << "c_low.mp4" << true;
    QTest::newRow("mkv kept") << "low.mkv" << false << "c_low.mkv" << true;
    QTest::newRow("mkv made into mp4") << "low.mkv" << true << "c_low.mp4" << false;
}

void TestNeverLarger::videos()
{
    QFETCH(QString, file);
    QFETCH(bool, toMp4);
    QFETCH(QString, outName);
    QFETCH(bool, sameFormat);

    const QString in = input(file);
    const qint64 inSize = QFileInfo(in).size();
    const VideoCompressParam param = videoParam(in);
    QCOMPARE(QSize(param.width, param.height), QSize(640, 360));
    const QString tool = videoToolResult(in, toMp4, param);
    QVERIFY(!tool.isEmpty());
    const qint64 toolSize = QFileInfo(tool).size();
    QVERIFY2(toolSize > inSize, qPrintable(QString("tool result %1, input %2").arg(toolSize).arg(inSize)));

    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(in, toMp4, m_outDir, param);
    QCOMPARE(out, m_outDir + outName);
    QVERIFY(waitForFinalReport(spy, 60000));
    const ProgressReport end = ProgressReport::last(spy);
    QVERIFY(!spy.wait(150));
    const qint64 outSize = QFileInfo(out).size();
    qInfo("%s: input %lld, tool result %lld, final %lld", QTest::currentDataTag(), inSize, toolSize, outSize);

    QVERIFY(end.stat);
    QVERIFY2(qAbs(end.progress - 1.0f) <= 0.05f, qPrintable(QString::number(end.progress)));
    QCOMPARE(end.filePath, out);
    if (sameFormat) {
        QVERIFY(outSize <= inSize);
        QCOMPARE(readAll(out), readAll(in));
        QCOMPARE(end.rate, 1.0f);
        QCOMPARE(keptCopyLines(), QStringList(keptCopyLine("video", in)));
    } else {
        // ffmpeg's MP4, larger than the MKV it was made from.
        QVERIFY(outSize > inSize);
        QVERIFY(readAll(out) != readAll(in));
        QCOMPARE(probeVideo(out), probeVideo(tool));
        QVERIFY2(probeVideo(out).startsWith("hevc,640,360 \"mov,mp4,"), qPrintable(probeVideo(out)));
        QCOMPARE(end.rate, float(double(outSize) / double(inSize)));
        QCOMPARE(keptCopyLines(), QStringList());
    }
    checkOnlyOutput(out);
}

void TestNeverLarger::documents_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("docx with small pictures") << "small.docx";
    QTest::newRow("pptx with small pictures") << "small.pptx";
}

void TestNeverLarger::documents()
{
    QFETCH(QString, file);
    const QString in = input(file);
    const qint64 inSize = QFileInfo(in).size();
    const QString out = m_outDir + "c_" + file;
    const QString tool = m_toolDir + file;
    const ToolCommand command =
        DocCompressCore::compressCommand(PlatformConstants::compressionToolPath(), in, tool, Normal);
    QCOMPARE(TestEnv::runTool(command.program(), command.arguments()), 0);
    const qint64 toolSize = QFileInfo(tool).size();
    QVERIFY2(toolSize >= inSize, qPrintable(QString("tool result %1, input %2").arg(toolSize).arg(inSize)));

    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    QSignalSpy spy(&engine, &DocCompressCore::sig_sendProgress);
    engine.compress(in, out, Normal);
    QVERIFY(waitForFinalReport(spy, 60000));
    const ProgressReport end = ProgressReport::last(spy);
    QVERIFY(!spy.wait(150));
    const qint64 outSize = QFileInfo(out).size();
    qInfo("%s: input %lld, tool result %lld, final %lld", QTest::currentDataTag(), inSize, toolSize, outSize);

    QCOMPARE(end.progress, 1.0f);
    QVERIFY(end.stat);
    QCOMPARE(end.filePath, out);
    QVERIFY(outSize <= inSize);
    QCOMPARE(readAll(out), readAll(in));
    QCOMPARE(end.rate, 1.0f);
    QCOMPARE(keptCopyLines(), QStringList(keptCopyLine("doc", in)));
    checkOnlyOutput(out);
}

QString TestNeverLarger::removingWrapper(const QString& name, const QString& program, const QString& doomed,
                                         bool folderInstead) const
{
    const QString then =
        folderInstead ? QString("rm -f %2 && mkdir %2 && : > %2/entry\n") : QString("rm -f %2\n");
    return TestEnv::writeScript(m_run->filePath(name), QString("%1 \"$@\"\ncode=$?\n" + then + "exit $code\n")
                                                           .arg(shellQuote(program), shellQuote(doomed))
                                                           .toUtf8());
}

void TestNeverLarger::failedPictureCopyLeavesNothing()
{
    // The input goes while pngquant runs: the result cannot be weighed against it, nor replaced by it.
    const QString in = m_run->filePath("going.png");
    QVERIFY(QFile::copy(input("ramp.png"), in));
    const QString pngquant = removingWrapper("pngquant", PlatformConstants::pngquantPath(), in);
    QVERIFY(!pngquant.isEmpty());

    ImageCompressCore engine(pngquant, PlatformConstants::convertProgram(), nullptr);
    QSignalSpy spy(&engine, &ImageCompressCore::sig_sendProgress);
    engine.setKeepFormat(true);
    const QString out = engine.compressPng(in, m_outDir, 10, 80);
    QVERIFY(waitForFinalReport(spy, 30000));
    const ProgressReport end = ProgressReport::last(spy);
    QVERIFY(!spy.wait(150));

    QCOMPARE(end.progress, -1.0f);
    QVERIFY(!end.stat);
    QCOMPARE(end.filePath, QString());
    QCOMPARE(end.rate, 0.0f);
    QVERIFY(!QFileInfo::exists(in));
    checkOnlyOutput(QString());
    QCOMPARE(TestEnv::logLines().filter("compress fail"),
             QStringList(QString("image compress fail %1: cannot copy the input to %2").arg(in, out)));
    QCOMPARE(keptCopyLines(), QStringList());
}

void TestNeverLarger::failedVideoCopyLeavesNothing()
{
    const QString in = m_run->filePath("going.mkv");
    QVERIFY(QFile::copy(input("low.mkv"), in));
    const VideoCompressParam param = videoParam(in);
    const QString ffmpeg = removingWrapper("ffmpeg", PlatformConstants::ffmpegPath(), in);
    QVERIFY(!ffmpeg.isEmpty());

    VideoCompressCore engine(ffmpeg, nullptr);
    QSignalSpy spy(&engine, &VideoCompressCore::sig_sendProgress);
    const QString out = engine.compress(in, false, m_outDir, param);
    QVERIFY(waitForFinalReport(spy, 60000));
    const ProgressReport end = ProgressReport::last(spy);
    QVERIFY(!spy.wait(150));

    QCOMPARE(end.progress, -1.0f);
    QVERIFY(!end.stat);
    QCOMPARE(end.filePath, QString());
    QCOMPARE(end.rate, 0.0f);
    checkOnlyOutput(QString());
    QCOMPARE(TestEnv::logLines(),
             QStringList(QString("video compress fail %1: cannot copy the input to %2").arg(in, out)));
}

void TestNeverLarger::failedDocumentCopyLeavesNothing()
{
    // The document engine takes a vanished input for a failed run before it weighs the result; a
    // folder in the input's place has a size but no bytes to copy.
    const QString in = m_run->filePath("going.docx");
    QVERIFY(QFile::copy(input("small.docx"), in));
    const QString tool = removingWrapper("Squimble", PlatformConstants::compressionToolPath(), in, true);
    QVERIFY(!tool.isEmpty());
    const QString out = m_outDir + "c_going.docx";

    DocCompressCore engine(tool, PlatformConstants::docToolPath(false));
    QSignalSpy spy(&engine, &DocCompressCore::sig_sendProgress);
    engine.compress(in, out, Normal);
    QVERIFY(waitForFinalReport(spy, 60000));
    const ProgressReport end = ProgressReport::last(spy);
    QVERIFY(!spy.wait(150));

    QCOMPARE(end.progress, -1.0f);
    QVERIFY(!end.stat);
    QCOMPARE(end.filePath, QString());
    QCOMPARE(end.rate, 0.0f);
    checkOnlyOutput(QString());
    QCOMPARE(TestEnv::logLines().filter("doc compress fail"),
             QStringList(QString("doc compress fail %1: cannot copy the input to %2").arg(in, out)));
    QCOMPARE(keptCopyLines(), QStringList());
}

QTEST_MAIN(TestNeverLarger)
#include "tst_neverlarger.moc"
