// An option change while a run goes on: the queue rewinds, runs every file of the kind again (a file
// that is still running once it has ended, whatever page is shown), never runs two engines on one
// output, and ends; a row sent again shows no old figures.
#include <QDir>
#include <QRadioButton>
#include <QtTest>

#include "EngineWatch.h"
#include "FrozenProcesses.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "MainWidget.h"
#include "ModalAnswerer.h"
#include "SampleFiles.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "UrlRecorder.h"
#include "VideoStream.h"
#include "WindowDriver.h"

namespace
{

// A video whose stream carries no encoder settings of its own, so that the settings found in a
// result are the ones our run gave ffmpeg.
bool makeVideo(const QString& path, int seconds)
{
    const QString source = QString("testsrc=size=640x360:rate=25:duration=%1").arg(seconds);
    return TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", source, "-c:v", "mpeg4",
                                       "-q:v", "2", "-pix_fmt", "yuv420p", path}) == 0;
}

QStringList inputsOf(const QList<QStringList>& history)
{
    QStringList inputs;
    for (const QStringList& entry : history)
        inputs << entry.value(1);
    return inputs;
}

} // namespace

class TestQueueRewind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void optionChangeWhileALongVideoRuns();
    void optionChangeAmidTwentyPictures();
    void owedRunWithAnotherPageShown();
    void rowSentAgainShowsNoOldFigures();

private:
    // Adds `path` after the run and checks that intake takes it without a refusal.
    void addAfterTheRun(WindowDriver& driver, const QString& path, int kind, int rowsBefore);

    UrlRecorder m_urls;
    std::unique_ptr<TestFolder> m_dir;
};

void TestQueueRewind::initTestCase()
{
    for (const char* tool : {"ffmpeg", "pngquant", "convert"})
        VX_REQUIRE_TOOL(tool);
    WindowDriver::startProgramServices();
}

void TestQueueRewind::cleanupTestCase()
{
    WindowDriver::stopProgramServices();
}

void TestQueueRewind::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
}

void TestQueueRewind::cleanup()
{
    m_dir.reset();
}

void TestQueueRewind::addAfterTheRun(WindowDriver& driver, const QString& path, int kind, int rowsBefore)
{
    ModalAnswerer refusals(ModalAnswerer::clickButton("btnOpera1"));
    driver.addFiles({path});
    QCoreApplication::processEvents();
    QVERIFY2(refusals.answered() == 0, qPrintable(refusals.texts().join(" / ")));
    QCOMPARE(driver.rowCount(kind), rowsBefore + 1);
}

void TestQueueRewind::optionChangeWhileALongVideoRuns()
{
    const QString shortVideo = m_dir->filePath("short.mp4");
    const QString longVideo = m_dir->filePath("long.mp4");
    QVERIFY(makeVideo(shortVideo, 1));
    QVERIFY(makeVideo(longVideo, 20));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    EngineWatch watch(window);
    driver.addFiles({shortVideo, longVideo});

    // 清晰优先 is clicked when the short video reports its end while the long one has not: the long
    // one then still holds its slot, however fast the machine, and the tick meets it running.
    bool clicked = false;
    bool longEndedFirst = false;
    watch.onReport([&](QObject*, float progress, bool stat, const QString& output) {
        const bool final = stat || progress < 0;
        if (clicked || !final)
            return;
        if (output.endsWith("c_long.mp4")) {
            longEndedFirst = true;
        } else if (watch.running() == 1) {
            clicked = true;
            QTest::mouseClick(window.findChild<QRadioButton*>("rbMax"), Qt::LeftButton);
            // The queue's next tick, now rather than within the second: the long video may be
            // quick to encode on a fast machine, but it cannot have ended yet.
            QVERIFY(QMetaObject::invokeMethod(&window, "slot_pushQueue", Qt::DirectConnection));
        }
    });
    QCOMPARE(window.findChild<QSlider*>("sliderCompVal")->value(), 100); // crf 31 before the click
    driver.pressStart();
    QTRY_VERIFY_WITH_TIMEOUT(clicked || longEndedFirst, 120000);
    QVERIFY2(clicked, "the long video ended before the short one: no run to change an option in");

    QVERIFY2(driver.waitForRunEnd(240000), "the run never ended");
    QCOMPARE(driver.buttonText(), QString("开始压缩"));
    QCOMPARE(window.freeTaskSlots(), 4);
    QCOMPARE(driver.states(Kind::Video), QStringList({"已完成", "已完成"}));
    QVERIFY2(watch.clashes().isEmpty(),
             qPrintable("written by two engines at once: " + watch.clashes().join(", ")));
    // Both files ran again with the new option, the long one once it had ended; each result took
    // the place of the file's earlier one.
    const QStringList inputs = inputsOf(JsonParsing::readHistory(Kind::Video, "history.json"));
    QCOMPARE(inputs.count(shortVideo), 2);
    QCOMPARE(inputs.count(longVideo), 2);
    QCOMPARE(watch.finalReports(), 4);
    QCOMPARE(VideoStream::crfOf(m_dir->filePath("c_short.mp4")), 24);
    QCOMPARE(VideoStream::crfOf(m_dir->filePath("c_long.mp4")), 24);
    QCOMPARE(QDir(m_dir->path()).entryList({"c_*"}, QDir::Files), QStringList({"c_long.mp4", "c_short.mp4"}));

    const QString third = m_dir->filePath("third.mp4");
    QVERIFY(makeVideo(third, 1));
    addAfterTheRun(driver, third, Kind::Video, 2);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(240000));
    QCOMPARE(driver.states(Kind::Video), QStringList({"已完成", "已完成", "已完成"}));
    QCOMPARE(JsonParsing::readHistory(Kind::Video, "history.json").size(), 5);
}

void TestQueueRewind::optionChangeAmidTwentyPictures()
{
    QStringList pictures;
    for (int i = 0; i < 20; ++i) {
        pictures << m_dir->filePath(QString("picture%1.%2").arg(i).arg(i % 2 ? "png" : "jpg"));
        QVERIFY(SampleFiles::make(pictures.last(), m_dir->path()));
    }
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    EngineWatch watch(window);
    driver.addFiles(pictures);

    // Clicked on an end after the first four, while another picture is still running.
    int dispatchedBeforeClick = -1;
    int runningAtClick = 0;
    watch.onReport([&](QObject*, float progress, bool stat, const QString&) {
        const bool final = stat || progress < 0;
        if (dispatchedBeforeClick >= 0 || !final || watch.finalReports() < 5 || watch.running() == 0)
            return;
        dispatchedBeforeClick = JsonParsing::readHistory(Kind::Image, "history.json").size();
        runningAtClick = watch.running();
        QTest::mouseClick(window.findChild<QRadioButton*>("rbMax"), Qt::LeftButton);
    });
    driver.pressStart();
    QVERIFY2(driver.waitForRunEnd(240000), "the run never ended");
    QVERIFY(dispatchedBeforeClick > 0);
    QVERIFY2(runningAtClick > 0, "no picture was running when the option changed");

    QCOMPARE(driver.buttonText(), QString("开始压缩"));
    QCOMPARE(window.freeTaskSlots(), 4);
    QCOMPARE(window.queueIndex(Kind::Image), 20);
    for (const QString& state : driver.states(Kind::Image))
        QCOMPARE(state, QString("已完成"));
    QVERIFY(watch.mostRunningAtOnce() <= 4);
    QVERIFY2(watch.clashes().isEmpty(),
             qPrintable("written by two engines at once: " + watch.clashes().join(", ")));
    // Every picture dispatched before the change ran once more, the others once.
    const QStringList inputs = inputsOf(JsonParsing::readHistory(Kind::Image, "history.json"));
    QCOMPARE(inputs.size(), dispatchedBeforeClick + 20);
    for (int i = 0; i < pictures.size(); ++i)
        QCOMPARE(inputs.count(pictures.at(i)), i < dispatchedBeforeClick ? 2 : 1);
    QCOMPARE(QDir(m_dir->path()).entryList({"c_*"}, QDir::Files).size(), 20);

    const QString more = m_dir->filePath("more.png");
    QVERIFY(SampleFiles::make(more, m_dir->path()));
    addAfterTheRun(driver, more, Kind::Image, 20);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(120000));
    QCOMPARE(driver.states(Kind::Image).last(), QString("已完成"));
}

void TestQueueRewind::owedRunWithAnotherPageShown()
{
    const QString video = m_dir->filePath("clip.mp4");
    QVERIFY(makeVideo(video, 4));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    EngineWatch watch(window);
    driver.addFiles({video});
    driver.pressStart();
    // ffmpeg is held still, so the video is surely running when the option changes.
    FrozenProcesses ffmpeg(video, "ffmpeg");
    QTRY_VERIFY_WITH_TIMEOUT(ffmpeg.hold() > 0, 60000);
    QTest::mouseClick(window.findChild<QRadioButton*>("rbMax"), Qt::LeftButton);
    // The tick meets the running row and owes it a second run.
    QVERIFY(QMetaObject::invokeMethod(&window, "slot_pushQueue", Qt::DirectConnection));
    driver.showKind(Kind::Image);
    ffmpeg.release();
    QVERIFY2(driver.waitForRunEnd(240000), "the run never ended");
    QCOMPARE(watch.finalReports(), 2);
    QCOMPARE(inputsOf(JsonParsing::readHistory(Kind::Video, "history.json")), QStringList({video, video}));
    QCOMPARE(driver.states(Kind::Video), QStringList({"已完成"}));
    QCOMPARE(VideoStream::crfOf(m_dir->filePath("c_clip.mp4")), 24);
}

void TestQueueRewind::rowSentAgainShowsNoOldFigures()
{
    const QString kept = m_dir->filePath("kept.png");
    const QString spoilt = m_dir->filePath("spoilt.png");
    QVERIFY(SampleFiles::make(kept, m_dir->path()));
    QVERIFY(SampleFiles::make(spoilt, m_dir->path()));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({kept, spoilt});
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(120000));
    for (int row = 0; row < 2; ++row) {
        QVERIFY(!driver.rowText(Kind::Image, row, "labelCompSize").isEmpty());
        QVERIFY(!driver.rowText(Kind::Image, row, "labelCompRate").isEmpty());
    }

    // The second file can no longer be read: its second run fails.
    QVERIFY(SampleFiles::makeCorrupt(spoilt));
    QTest::mouseClick(window.findChild<QRadioButton*>("rbMax"), Qt::LeftButton);
    driver.pressStart();
    QVERIFY(QMetaObject::invokeMethod(&window, "slot_pushQueue", Qt::DirectConnection));
    QCOMPARE(window.freeTaskSlots(), 3);
    QCOMPARE(driver.rowText(Kind::Image, 0, "labelCompSize"), QString());
    QCOMPARE(driver.rowText(Kind::Image, 0, "labelCompRate"), QString());
    QCOMPARE(driver.rowText(Kind::Image, 1, "labelStat"), QString("压缩失败"));
    QCOMPARE(driver.rowText(Kind::Image, 1, "labelCompSize"), QString());
    QCOMPARE(driver.rowText(Kind::Image, 1, "labelCompRate"), QString());

    QVERIFY(driver.waitForRunEnd(120000));
    QCOMPARE(driver.states(Kind::Image), QStringList({"已完成", "压缩失败"}));
    QVERIFY(driver.rowText(Kind::Image, 0, "labelCompSize").endsWith("MB"));
    QVERIFY(driver.rowText(Kind::Image, 0, "labelCompRate").endsWith("%"));
    QCOMPARE(driver.rowText(Kind::Image, 1, "labelCompSize"), QString());
    QCOMPARE(driver.rowText(Kind::Image, 1, "labelCompRate"), QString());
}

QTEST_MAIN(TestQueueRewind)
#include "tst_queuerewind.moc"
