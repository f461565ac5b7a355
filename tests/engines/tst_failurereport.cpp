// A failure looks the same from every engine: one report (-1.0, false, "", 0.0) and one log line
// "<kind> compress fail <input>: <reason>", through the real engines and tools.
#include <functional>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "DocCompressCore.h"
#include "ImageCompressCore.h"
#include "OutputPaths.h"
#include "PDFCompressCore.h"
#include "PdfFactory.h"
#include "PlacedResults.h"
#include "PlatformConstants.h"
#include "ProgressReport.h"
#include "SampleFiles.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "VideoCompressCore.h"

namespace
{
// One engine, made and started on a missing input; the spy is connected before the start, since some
// engines report at once.
struct Job {
    std::unique_ptr<QObject> engine;
    std::unique_ptr<QSignalSpy> spy;
};
} // namespace

class TestFailureReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void missingInput_data();
    void missingInput();
    void failureKeepsAnEarlierResult_data();
    void failureKeepsAnEarlierResult();

private:
    Job start(const QString& engine, const QString& input, const QString& outDir, int pdfQuality = 30);

    QTemporaryDir m_dir;
    QList<ProgressReport> m_seen; // every row's failure report, to compare them with each other
};

void TestFailureReport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    QVERIFY(QDir::setCurrent(m_dir.path())); // the history is kept here
    VX_REQUIRE_TOOL("ffmpeg");
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    QVERIFY(QDir().mkpath(m_dir.path() + "/out"));
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/data").toLocal8Bit());
    ThreadPool::instance()->start(2); // the page ranges of a PDF
}

void TestFailureReport::cleanupTestCase()
{
    ThreadPool::instance()->stop();
}

void TestFailureReport::init()
{
    OutputPaths::reset();
    QFile::remove(Tool::logFilePath());
}

void TestFailureReport::missingInput_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("kind"); // as the log line names it

    QTest::newRow("video") << "video"
                           << "gone clip.mkv"
                           << "video";
    QTest::newRow("png") << "png"
                         << "gone.png"
                         << "image";
    QTest::newRow("jpg") << "jpg"
                         << "gone.jpg"
                         << "image";
    QTest::newRow("gif") << "gif"
                         << "gone.gif"
                         << "image";
    QTest::newRow("word") << "doc"
                          << "gone.docx"
                          << "doc";
    QTest::newRow("legacy powerpoint") << "doc"
                                       << "gone.ppt"
                                       << "doc";
    QTest::newRow("pdf") << "pdf"
                         << "gone.pdf"
                         << "pdf";
    QTest::newRow("pdf through the document engine") << "docpdf"
                                                     << "gone again.pdf"
                                                     << "pdf";
}

Job TestFailureReport::start(const QString& engine, const QString& input, const QString& outDir,
                             int pdfQuality)
{
    Job job;
    const QString output = outDir + "c_" + QFileInfo(input).fileName();
    if (engine == "video") {
        auto* video = new VideoCompressCore(PlatformConstants::ffmpegPath(), nullptr);
        job.engine.reset(video);
        job.spy = std::make_unique<QSignalSpy>(video, &VideoCompressCore::sig_sendProgress);
        video->compress(input, false, outDir, {320, 240, 1.0f, 28});
    } else if (engine == "png" || engine == "jpg" || engine == "gif") {
        auto* image = new ImageCompressCore(PlatformConstants::pngquantPath(),
                                            PlatformConstants::convertProgram(), nullptr);
        job.engine.reset(image);
        job.spy = std::make_unique<QSignalSpy>(image, &ImageCompressCore::sig_sendProgress);
        image->setKeepFormat(true);
        if (engine == "png")
            image->compressPng(input, outDir, 10, 80);
        else if (engine == "jpg")
            image->compressJpg(input, outDir, 70);
        else
            image->compressGif(input, outDir, 70);
    } else if (engine == "pdf") {
        auto* pdf = new PDFCompressCore(input, output, pdfQuality, nullptr);
        job.engine.reset(pdf);
        job.spy = std::make_unique<QSignalSpy>(pdf, &PDFCompressCore::sig_sendProgress);
        pdf->start();
    } else {
        auto* doc = new DocCompressCore(PlatformConstants::compressionToolPath(),
                                        PlatformConstants::docToolPath(false), nullptr);
        job.engine.reset(doc);
        job.spy = std::make_unique<QSignalSpy>(doc, &DocCompressCore::sig_sendProgress);
        if (engine == "docpdf")
            doc->compressPdf(input, output, pdfQuality);
        else
            doc->compress(input, output, Normal);
    }
    return job;
}

void TestFailureReport::missingInput()
{
    QFETCH(QString, engine);
    QFETCH(QString, file);
    QFETCH(QString, kind);

    const QString input = m_dir.filePath(file);
    const QString outDir = m_dir.path() + "/out/";
    QVERIFY(!QFileInfo::exists(input));
    const Job job = start(engine, input, outDir);
    QSignalSpy& spy = *job.spy;
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && ProgressReport::isFinal(spy.last()), 30000);
    QVERIFY(!spy.wait(500)); // nothing after the failure

    QCOMPARE(spy.size(), 1);
    const ProgressReport report = ProgressReport::at(spy, 0);
    QCOMPARE(report, ProgressReport(-1.0f, false, QString(), 0.0f));
    for (const ProgressReport& earlier : qAsConst(m_seen))
        QCOMPARE(report, earlier);
    m_seen.append(report);

    const QStringList failures = TestEnv::logLines().filter(" compress fail ");
    QCOMPARE(failures.size(), 1);
    const QString head = QString("%1 compress fail %2: ").arg(kind, input);
    QVERIFY2(failures[0].startsWith(head) && failures[0].size() > head.size(), qPrintable(failures[0]));
    QCOMPARE(QDir(outDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestFailureReport::failureKeepsAnEarlierResult_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("pdfQuality"); // the document tool takes 1 to 100

    QTest::newRow("video, ffmpeg cannot read the input") << "video"
                                                         << "clip.mp4" << 30;
    QTest::newRow("jpg, convert cannot read the input") << "jpg"
                                                        << "photo.jpg" << 30;
    QTest::newRow("gif, gifsicle cannot read the input") << "gif"
                                                         << "anim.gif" << 30;
    QTest::newRow("word, the compression tool cannot read the input") << "doc"
                                                                      << "letter.docx" << 30;
    QTest::newRow("pdf, the document tool refuses the quality") << "docpdf"
                                                                << "manual.pdf" << 999;
}

void TestFailureReport::failureKeepsAnEarlierResult()
{
    QFETCH(QString, engine);
    QFETCH(QString, file);
    QFETCH(int, pdfQuality);

    const QString folder = m_dir.filePath(QString("earlier/%1/").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    const QString input = folder + file;
    if (engine == "docpdf") {
        QVERIFY(PdfFactory::writeBlank(input, {QSizeF(595, 842), QSizeF(595, 842)}));
    } else {
        QVERIFY(SampleFiles::makeCorrupt(input));
    }
    // What an earlier run made of the file, as the program placed it: the job is to replace it, but
    // never gets as far as that.
    const QString earlier = folder + "c_" + file;
    QFile result(earlier);
    QVERIFY(result.open(QIODevice::WriteOnly));
    QVERIFY(result.write("the earlier result") > 0);
    result.close();
    QVERIFY(PlacedResults::record(earlier, input));

    const Job job = start(engine, input, folder, pdfQuality);
    QTRY_VERIFY_WITH_TIMEOUT(!job.spy->isEmpty() && ProgressReport::isFinal(job.spy->last()), 60000);

    QCOMPARE(ProgressReport::last(*job.spy).progress, -1.0f);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), QByteArray("the earlier result"));
    QStringList expected{file, "c_" + file};
    expected.sort();
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), expected);
}

QTEST_GUILESS_MAIN(TestFailureReport)
#include "tst_failurereport.moc"
