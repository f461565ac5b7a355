// Jobs that end before their time, through the real engines and tools: ended by the program's
// close (RunningTools::endAll), by their engine going, by the pool's stop, by a kill from outside
// or by a time-out. Each is over at once, leaves no tool running, no partial output and no
// intermediate file, never touches its input or the earlier result of a run before, and sends no
// report after it was ended.
//
// The tools of a job are held still (SIGSTOP) or sleep for a minute before the job is ended, so
// none can end by itself: whatever ends them is the code under test, and every wait below is for an
// event, with bounds far above what a slow machine needs.
#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "DocCompressCore.h"
#include "DocConvert.h"
#include "FrozenProcesses.h"
#include "ImageCompressCore.h"
#include "OutputPaths.h"
#include "PathManager.h"
#include "PdfFactory.h"
#include "PlacedResults.h"
#include "PlatformConstants.h"
#include "ProgressReport.h"
#include "RunningTools.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "VideoCompressCore.h"

namespace
{
// How long a tool may take to start, and an ended job to be gone, on a slow and busy machine.
const int kToolStartsWithinMs = 120000;
const int kEndedWithinMs = 30000;
const int kPoolWorkers = 4;

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An earlier run's result of `input` at `output`, as the program placed it; returns its bytes.
QByteArray recordEarlierResult(const QString& input, const QString& output)
{
    const QByteArray bytes = "the result of an earlier run of " + input.toUtf8();
    QFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QByteArray();
    file.close();
    if (!PlacedResults::record(output, input))
        return QByteArray();
    return bytes;
}

// The process id at the start of the first "pid: arguments" line that mentions `text` and `also`.
qint64 pidOf(const QString& text, const QString& also)
{
    for (const QString& line : TestEnv::processesMentioning(text)) {
        if (line.contains(also))
            return line.section(':', 0, 0).toLongLong();
    }
    return 0;
}

// Tasks that hold every worker of the pool at once: when all of them run, every task pushed before
// them has been taken and has ended (the pool runs tasks in the order pushed, one per worker).
class PoolBarrier
{
public:
    explicit PoolBarrier(int workers)
        : m_state(std::make_shared<State>())
        , m_workers(workers)
    {
        for (int i = 0; i < workers; ++i)
            ThreadPool::instance()->pushTask(std::make_shared<Holder>(m_state));
    }
    ~PoolBarrier() { m_state->released = true; }
    PoolBarrier(const PoolBarrier&) = delete;
    PoolBarrier& operator=(const PoolBarrier&) = delete;

    bool allHeld() const { return m_state->arrived == m_workers; }

private:
    struct State {
        std::atomic<int> arrived{0};
        std::atomic<bool> released{false};
    };

    // Holds its worker until released (or for two minutes at most, should a test fail first).
    class Holder : public BaseTask
    {
    public:
        explicit Holder(std::shared_ptr<State> state)
            : m_state(std::move(state))
        {
        }
        void run() override
        {
            ++m_state->arrived;
            const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
            while (!m_state->released && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }

    private:
        std::shared_ptr<State> m_state;
    };

    std::shared_ptr<State> m_state;
    const int m_workers;
};
} // namespace

class TestJobEnding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void longPdfEndsAtOnce_data();
    void longPdfEndsAtOnce();
    void pdfEndedDuringItsMergeKeepsTheEarlierResult_data();
    void pdfEndedDuringItsMergeKeepsTheEarlierResult();
    void garbageLegacyDocumentFailsFast();
    void conversionTimedOutLeavesNothing();
    void conversionEndedLeavesNothing_data();
    void conversionEndedLeavesNothing();
    void endedVideoKeepsTheEarlierResult_data();
    void endedVideoKeepsTheEarlierResult();
    void endedImageJobLeavesNothing_data();
    void endedImageJobLeavesNothing();
    void endedDocumentCompressionLeavesNothing();

private:
    // No tool works in the test folder any more, and the program's temporary and PDF work folders
    // are empty; waits for it.
    void verifyNothingLeft();
    // Holds LibreOffice still in `office` once it runs for this test; false when `gaveUp` tells first
    // that the conversion has ended without it.
    bool holdOffice(FrozenProcesses& office, const std::function<bool()>& gaveUp);
    QString script(const QString& name, const QByteArray& body) const;

    QTemporaryDir m_dir;
    QString m_longPdf;  // 300 pages
    QString m_longDoc;  // a Word 97 document that takes LibreOffice seconds to convert
    QString m_longClip; // a video that takes ffmpeg seconds to compress
};

void TestJobEnding::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    QVERIFY(QDir::setCurrent(m_dir.path())); // the history is kept here
    VX_REQUIRE_TOOL("soffice");
    VX_REQUIRE_TOOL("ffmpeg");
    VX_REQUIRE_TOOL("pngquant");
    VX_REQUIRE_TOOL("convert");
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/data").toLocal8Bit());
    qputenv("HOME", (m_dir.path() + "/home").toLocal8Bit());
    ThreadPool::instance()->start(kPoolWorkers);
    QVERIFY(QFileInfo(PathManager::instance()->tempDir()).isDir());
    QVERIFY(QDir().mkpath(m_dir.path() + "/in"));

    PdfFactory::Options options;
    options.pages = 300;
    options.content = PdfFactory::Content::Mixed;
    options.imageWidth = 800;
    m_longPdf = m_dir.path() + "/in/long book.pdf";
    QVERIFY(PdfFactory::write(m_longPdf, options));

    // Sixty thousand lines of text, saved by LibreOffice in Word 97 format.
    QFile text(m_dir.path() + "/in/long.txt");
    QVERIFY(text.open(QIODevice::WriteOnly));
    for (int i = 0; i < 60000; ++i)
        text.write(
            QString("line %1 of a long letter that LibreOffice lays out page after page\n").arg(i).toUtf8());
    text.close();
    const QString profile = QUrl::fromLocalFile(m_dir.path() + "/lo-profile").toString(QUrl::FullyEncoded);
    QCOMPARE(TestEnv::runTool("soffice",
                              {"-env:UserInstallation=" + profile, "--headless", "--norestore",
                               "--convert-to", "doc", "--outdir", m_dir.path() + "/in", text.fileName()}),
             0);
    m_longDoc = m_dir.path() + "/in/long.doc";
    QVERIFY(QFileInfo(m_longDoc).size() > 0);

    m_longClip = m_dir.path() + "/in/long clip.mp4";
    QCOMPARE(TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                         "testsrc2=size=1280x720:rate=25:duration=30", "-pix_fmt", "yuv420p",
                                         "-c:v", "libx264", "-preset", "ultrafast", m_longClip}),
             0);
}

void TestJobEnding::cleanupTestCase()
{
    ThreadPool::instance()->stop();
}

void TestJobEnding::init()
{
    OutputPaths::reset();
    QFile::remove(Tool::logFilePath());
}

QString TestJobEnding::script(const QString& name, const QByteArray& body) const
{
    QDir().mkpath(m_dir.path() + "/tools");
    return TestEnv::writeScript(m_dir.path() + "/tools/" + name, body);
}

void TestJobEnding::verifyNothingLeft()
{
    // A tool killed from outside is seen to end through the event loop, hence the waits for all.
    QTRY_COMPARE_WITH_TIMEOUT(TestEnv::processesMentioning(m_dir.path()), QStringList(), kEndedWithinMs);
    QTRY_COMPARE_WITH_TIMEOUT(RunningTools::instance()->count(), 0, kEndedWithinMs);
    QTRY_COMPARE_WITH_TIMEOUT(TestEnv::entriesUnder(TempFolder::path()), QStringList(), kEndedWithinMs);
    QTRY_COMPARE_WITH_TIMEOUT(TestEnv::entriesUnder(PathManager::instance()->tempDir()), QStringList(),
                              kEndedWithinMs);
}

bool TestJobEnding::holdOffice(FrozenProcesses& office, const std::function<bool()>& gaveUp)
{
    const bool settled = QTest::qWaitFor([&] { return office.hold() > 0 || gaveUp(); }, kToolStartsWithinMs);
    return settled && office.count() > 0;
}

void TestJobEnding::longPdfEndsAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the program closes") << "endAll";
    QTest::newRow("the engine goes") << "destroyed";
    QTest::newRow("the pool stops, then the window goes") << "poolStop";
}

void TestJobEnding::longPdfEndsAtOnce()
{
    QFETCH(QString, how);
    const QString output = m_dir.path() + "/in/c_long book.pdf";
    const QByteArray input = bytesOf(m_longPdf);
    auto* engine = new DocCompressCore(PlatformConstants::compressionToolPath(),
                                       PlatformConstants::docToolPath(false), nullptr);
    QSignalSpy spy(engine, &DocCompressCore::sig_sendProgress);
    engine->compressPdf(m_longPdf, output, 30);
    // Ranges are at work on the pool's workers (the document tool takes a few seconds for all); the
    // tools of those that run are held still.
    QTRY_VERIFY_WITH_TIMEOUT(RunningTools::instance()->count() >= 2, kToolStartsWithinMs);
    FrozenProcesses ranges(m_dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(ranges.hold() > 0, kToolStartsWithinMs);
    const int reportsBefore = spy.size();

    if (how == "endAll") {
        RunningTools::endAll();
    } else if (how == "destroyed") {
        delete engine;
        engine = nullptr;
    } else {
        // On a thread of its own: a stop that waited for the held ranges would hang.
        std::atomic<bool> stopped{false};
        std::thread stopper([&stopped] {
            ThreadPool::instance()->stop();
            stopped = true;
        });
        const bool prompt = QTest::qWaitFor([&stopped] { return stopped.load(); }, kEndedWithinMs);
        if (!prompt)
            ranges.kill(); // lets the stop end, so that the failure below is told
        stopper.join();
        QVERIFY2(prompt, "the pool's stop waited for the ranges that ran");
        delete engine;
        engine = nullptr;
    }
    verifyNothingLeft();
    QVERIFY(!QFileInfo::exists(output));
    QCOMPARE(bytesOf(m_longPdf), input);
    if (engine) {
        QVERIFY(!spy.wait(1500));
        QCOMPARE(spy.size(), reportsBefore);
        delete engine;
    }
    if (how == "poolStop")
        ThreadPool::instance()->start(kPoolWorkers);
    // Nothing of the ended job runs later either: the ranges that were waiting never start a tool.
    // Once every worker is held by a task pushed now, all that was waiting before has been taken.
    PoolBarrier barrier(kPoolWorkers);
    QTRY_VERIFY_WITH_TIMEOUT(barrier.allHeld() || !TestEnv::processesMentioning(m_dir.path()).isEmpty(),
                             kEndedWithinMs);
    QCOMPARE(TestEnv::processesMentioning(m_dir.path()), QStringList());
    QVERIFY(barrier.allHeld());
}

void TestJobEnding::pdfEndedDuringItsMergeKeepsTheEarlierResult_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the engine goes") << "destroyed";
    QTest::newRow("the program closes") << "endAll";
}

void TestJobEnding::pdfEndedDuringItsMergeKeepsTheEarlierResult()
{
    QFETCH(QString, how);
    const QString folder = m_dir.path() + "/merge " + how;
    QVERIFY(QDir().mkpath(folder));
    const QString input = folder + "/manual.pdf";
    QVERIFY(QFile::copy(m_longPdf, input));
    const QByteArray earlier = recordEarlierResult(input, folder + "/c_manual.pdf");
    QVERIFY(!earlier.isEmpty());
    auto engine = std::make_unique<DocCompressCore>(PlatformConstants::compressionToolPath(),
                                                    PlatformConstants::docToolPath(false), nullptr);
    QSignalSpy spy(engine.get(), &DocCompressCore::sig_sendProgress);
    engine->compressPdf(input, folder + "/c_manual.pdf", 30);
    // The last range's report comes right before the merge starts.
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last()[0].toFloat() >= 0.9f, kToolStartsWithinMs);
    QVERIFY(!ProgressReport::isFinal(spy.last()));

    // Ended once the merge has begun to write (beside the output, or in the job's work folder), with
    // no event handled in between, so that the merge's end cannot come first.
    const auto writing = [&] {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden).size() > 2 ||
               TestEnv::entriesUnder(PathManager::instance()->tempDir())
                       .filter(QRegExp("/saved\\.pdf$"))
                       .size() > 0;
    };
    QElapsedTimer clock;
    clock.start();
    while (!writing() && clock.elapsed() < kToolStartsWithinMs)
        QThread::msleep(1);
    QVERIFY(writing());
    if (how == "endAll")
        RunningTools::endAll();
    else
        engine.reset();

    verifyNothingLeft();
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"c_manual.pdf", "manual.pdf"}));
    QCOMPARE(bytesOf(input), bytesOf(m_longPdf));
    QCOMPARE(bytesOf(folder + "/c_manual.pdf"), earlier);
    if (engine)
        QVERIFY(!ProgressReport::hasFinal(spy));
}

void TestJobEnding::garbageLegacyDocumentFailsFast()
{
    // Two megabytes of noise named ".doc": LibreOffice cannot load it and the job fails within
    // seconds, not after the conversion's time limit.
    const QString input = m_dir.path() + "/in/garbage.doc";
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray noise(2 * 1024 * 1024, '\0');
    quint32 state = 12345;
    for (int i = 0; i < noise.size(); ++i) {
        state = state * 1103515245u + 12345u;
        noise[i] = char(state >> 24);
    }
    file.write(noise);
    file.close();
    const QString output = m_dir.path() + "/in/c_garbage.docx";

    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    QSignalSpy spy(&engine, &DocCompressCore::sig_sendProgress);
    engine.compress(input, output, Normal);
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && ProgressReport::isFinal(spy.last()), kToolStartsWithinMs);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].toFloat(), -1.0f);
    QCOMPARE(TestEnv::logLines(),
             QStringList(
                 QString("doc compress fail %1: no converted file %2").arg(input, engine.convertedPath())));
    verifyNothingLeft();
    QVERIFY(!QFileInfo::exists(output));
    QCOMPARE(bytesOf(input), noise);
}

void TestJobEnding::conversionTimedOutLeavesNothing()
{
    // LibreOffice itself is at work when the time runs out: held still as soon as it runs, it cannot
    // finish first. Should the time run out before it even starts (a slow machine), the time is
    // doubled and the conversion tried again.
    const QString output = TempFolder::path() + "long.docx";
    for (int limit = 4000;; limit *= 2) {
        DocConvert converter(PlatformConstants::docToolPath(false));
        converter.setTimeLimit(limit);
        QSignalSpy failed(&converter, &DocConvert::sig_Failed);
        QSignalSpy finished(&converter, &DocConvert::sig_Finished);
        converter.convert(m_longDoc, output);
        QVERIFY(QFileInfo(converter.workFolder()).isDir());
        FrozenProcesses office(m_dir.path(), "soffice.bin");
        if (!holdOffice(office, [&] { return !failed.isEmpty() || !finished.isEmpty(); })) {
            QVERIFY2(failed.size() == 1 && limit < 64000, "LibreOffice did not start in time");
            verifyNothingLeft();
            continue;
        }
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, limit + kEndedWithinMs);
        QCOMPARE(failed[0][0].toString(),
                 QString("document tool gave no result within %1 s").arg(limit / 1000.0));
        QCOMPARE(finished.size(), 0);
        QCOMPARE(converter.workFolder(), QString());
        verifyNothingLeft();
        QVERIFY(!QFileInfo::exists(output));
        return;
    }
}

void TestJobEnding::conversionEndedLeavesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("reported");
    QTest::newRow("the document tool is killed") << "kill" << true;
    QTest::newRow("the document tool is asked to stop") << "term" << true;
    QTest::newRow("the job is cancelled") << "cancel" << false;
    QTest::newRow("the program closes") << "endAll" << false;
}

void TestJobEnding::conversionEndedLeavesNothing()
{
    QFETCH(QString, how);
    QFETCH(bool, reported);
    const QString output = m_dir.path() + "/in/c_long.docx";
    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    QSignalSpy spy(&engine, &DocCompressCore::sig_sendProgress);
    engine.compress(m_longDoc, output, Normal);
    // LibreOffice at work, held still so that the conversion cannot finish first.
    FrozenProcesses office(m_dir.path(), "soffice.bin");
    QVERIFY2(holdOffice(office, [&] { return !spy.isEmpty() && ProgressReport::isFinal(spy.last()); }),
             "LibreOffice did not start");
    const qint64 tool = pidOf(m_longDoc, "-type=6");
    QVERIFY(tool > 0);

    if (how == "kill")
        ::kill(pid_t(tool), SIGKILL); // the tool alone, not its group
    else if (how == "term")
        ::kill(pid_t(tool), SIGTERM);
    else if (how == "cancel")
        engine.cancel();
    else
        RunningTools::endAll();
    verifyNothingLeft();
    if (reported) {
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && ProgressReport::isFinal(spy.last()), kEndedWithinMs);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toFloat(), -1.0f);
        QCOMPARE(TestEnv::logLines(), QStringList(QString("doc compress fail %1: no converted file %2")
                                                      .arg(m_longDoc, engine.convertedPath())));
    } else {
        QVERIFY(!spy.wait(1000));
        QCOMPARE(spy.size(), 0);
    }
    QCOMPARE(engine.jobFolder(), QString());
    QVERIFY(!QFileInfo::exists(output));
}

void TestJobEnding::endedVideoKeepsTheEarlierResult_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("reported");
    QTest::newRow("ffmpeg is killed") << "kill" << true;
    QTest::newRow("the job is cancelled") << "cancel" << false;
    QTest::newRow("the program closes") << "endAll" << false;
    QTest::newRow("the engine goes") << "destroyed" << false;
}

void TestJobEnding::endedVideoKeepsTheEarlierResult()
{
    QFETCH(QString, how);
    QFETCH(bool, reported);
    const QString output = m_dir.path() + "/in/c_long clip.mp4";
    const QByteArray earlier = recordEarlierResult(m_longClip, output);
    QVERIFY(!earlier.isEmpty());
    auto engine = std::make_unique<VideoCompressCore>(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy spy(engine.get(), &VideoCompressCore::sig_sendProgress);
    // The run again replaces its own earlier result, once its new one is whole.
    QCOMPARE(engine->compress(m_longClip, true, m_dir.path() + "/in/", {1280, 720, 1.0f, 28}), output);
    // ffmpeg is at work; held still, it cannot finish first.
    FrozenProcesses ffmpeg(m_longClip, "ffmpeg");
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && ffmpeg.hold() == 1, kToolStartsWithinMs);
    QVERIFY(!ProgressReport::isFinal(spy.last()));
    const int reportsBefore = spy.size();

    if (how == "kill")
        ::kill(pid_t(pidOf(m_longClip, "ffmpeg")), SIGKILL);
    else if (how == "cancel")
        engine->cancel();
    else if (how == "endAll")
        RunningTools::endAll();
    else
        engine.reset();
    verifyNothingLeft();
    QCOMPARE(bytesOf(output), earlier);
    if (!engine)
        return;
    if (reported) {
        QTRY_VERIFY_WITH_TIMEOUT(ProgressReport::isFinal(spy.last()), kEndedWithinMs);
        QCOMPARE(spy.last()[0].toFloat(), -1.0f);
        // One final report, the last; progress that ffmpeg wrote just before it was held may come first.
        QCOMPARE(ProgressReport::firstFinal(spy), spy.size() - 1);
        QVERIFY(ProgressReport::firstFinal(spy) >= reportsBefore);
        QCOMPARE(TestEnv::logLines().last(), "video compress fail " + m_longClip + ": crashed");
    } else {
        QVERIFY(!spy.wait(1000));
        QCOMPARE(spy.size(), reportsBefore);
    }
    QCOMPARE(bytesOf(output), earlier);
}

void TestJobEnding::endedImageJobLeavesNothing_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("stage"); // which tool is slow: "resize" or "compress"
    QTest::addColumn<QString>("how");

    QTest::newRow("png while resizing, cancelled") << "png"
                                                   << "resize"
                                                   << "cancel";
    QTest::newRow("png while pngquant runs, program closes") << "png"
                                                             << "compress"
                                                             << "endAll";
    QTest::newRow("jpg while convert runs, engine goes") << "jpg"
                                                         << "compress"
                                                         << "destroyed";
    QTest::newRow("bmp kept, while convert runs, cancelled") << "bmp"
                                                             << "compress"
                                                             << "cancel";
}

void TestJobEnding::endedImageJobLeavesNothing()
{
    QFETCH(QString, suffix);
    QFETCH(QString, stage);
    QFETCH(QString, how);

    const QString input = m_dir.path() + "/in/picture." + suffix;
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(QColor(20, 120, 200));
    QVERIFY(picture.save(input));
    const QByteArray before = bytesOf(input);
    // The slow tool writes part of its file (its last argument), then hangs; the other is the real
    // one. A PNG is resized by convert and compressed by pngquant, a JPEG or BMP compressed by
    // convert without a resize.
    const QString marker =
        m_dir.path() + "/tools/started-" + QString(QTest::currentDataTag()).replace(' ', '-');
    const QByteArray slow = QString("for a; do last=$a; done\necho partial > \"$last\"\n"
                                    "touch '%1'\nexec sleep 60")
                                .arg(marker)
                                .toUtf8();
    const QString slowTool = script("slow-" + QFileInfo(marker).fileName(), slow);
    const bool slowPngquant = suffix == "png" && stage == "compress";
    const QString pngquant = slowPngquant ? slowTool : PlatformConstants::pngquantPath();
    const QString convert = slowPngquant ? PlatformConstants::convertProgram() : slowTool;

    auto engine = std::make_unique<ImageCompressCore>(pngquant, convert, nullptr);
    QSignalSpy spy(engine.get(), &ImageCompressCore::sig_sendProgress);
    if (suffix == "png")
        engine->setScaleSize(160, 120);
    engine->setKeepFormat(true);
    const QString outDir = m_dir.path() + "/in/";
    const QByteArray earlier = recordEarlierResult(input, outDir + "c_picture." + suffix);
    QVERIFY(!earlier.isEmpty());
    const QString output =
        suffix == "png" ? engine->compressPng(input, outDir, 10, 80) : engine->compressJpg(input, outDir, 70);
    QCOMPARE(output, outDir + "c_picture." + suffix);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), kToolStartsWithinMs);
    QVERIFY(!TestEnv::entriesUnder(TempFolder::path()).isEmpty());

    if (how == "cancel")
        engine->cancel();
    else if (how == "endAll")
        RunningTools::endAll();
    else
        engine.reset();
    verifyNothingLeft();
    QCOMPARE(bytesOf(output), earlier);
    QCOMPARE(bytesOf(input), before);
    if (engine) {
        // No tick can come any more, and nothing came that reads as the end.
        const QList<QTimer*> timers = engine->findChildren<QTimer*>();
        for (const QTimer* timer : timers)
            QVERIFY(!timer->isActive());
        for (const QList<QVariant>& report : spy)
            QVERIFY(!ProgressReport::isFinal(report));
        const int reports = spy.size();
        QVERIFY(!spy.wait(1200));
        QCOMPARE(spy.size(), reports);
    }
}

void TestJobEnding::endedDocumentCompressionLeavesNothing()
{
    // A compression tool that has begun the output and hangs; the job is cancelled.
    const QString tool = script("slow-squimble", "echo partial > \"$2\"\necho 10\nexec sleep 60");
    const QString input = m_dir.path() + "/in/letter.docx";
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("PK stands in for a package; the tool never reads it");
    file.close();
    const QString output = m_dir.path() + "/in/c_letter.docx";
    const QByteArray earlier = recordEarlierResult(input, output);
    QVERIFY(!earlier.isEmpty());
    DocCompressCore engine(tool, PlatformConstants::docToolPath(false));
    QSignalSpy spy(&engine, &DocCompressCore::sig_sendProgress);
    engine.compress(input, output, Smallest);
    QVERIFY(QFileInfo(engine.jobFolder()).isDir());
    // The tool writes in the job's folder, never at the output.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(engine.jobFolder() + "/result.docx").size() > 0, kToolStartsWithinMs);

    engine.cancel();
    verifyNothingLeft();
    QCOMPARE(bytesOf(output), earlier);
    QCOMPARE(engine.jobFolder(), QString());
    QVERIFY(!spy.wait(1200));
    for (const QList<QVariant>& report : spy)
        QVERIFY(!ProgressReport::isFinal(report));
}

QTEST_MAIN(TestJobEnding)
#include "tst_jobending.moc"
