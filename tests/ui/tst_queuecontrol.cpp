// How the queue behaves around a run: failures, refusals while it runs, reruns, option changes,
// clearing a running list, a chosen output folder, which kinds a run takes and whose options each
// file takes, with the real engines and tools.
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
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
#include "WindowDriver.h"

namespace
{

// A video long enough for a run to last a few seconds.
bool makeLongVideo(const QString& path)
{
    return TestEnv::runTool("ffmpeg",
                            {"-v", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc=size=640x480:rate=25:duration=6", "-pix_fmt", "yuv420p", path}) == 0;
}

// The window's one-second dispatch tick (its only timer that runs while the queue runs).
QTimer* dispatchTick(QWidget& window)
{
    for (QTimer* timer : window.findChildren<QTimer*>()) {
        if (timer->isActive() && timer->interval() == 1000)
            return timer;
    }
    return nullptr;
}

// Chooses `folder` with 更改路径 on the shown page; returns how many dialogs were answered.
int chooseOutputFolder(QWidget& window, const QString& folder)
{
    ModalAnswerer answerer(ModalAnswerer::chooseFolder(folder));
    QTest::mouseClick(window.findChild<QPushButton*>("btnChangeDir"), Qt::LeftButton);
    return answerer.answered();
}

QStringList repeated(const QString& text, int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << text;
    return texts;
}

} // namespace

class TestQueueControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void emptyQueueEndsAtTheNextTick();
    void corruptFilesFailAndTheQueueEnds();
    void refusalsWhileRunning();
    void rerunDispatchesOnlyNewFiles();
    void removingAWaitingRowRunsNoFinishedOne();
    void optionChangeRunsEverythingAgain();
    void clearingARunningListGivesTheSlotsBack();
    void chosenOutputFolder();
    void suffixOfNoKindIsRefused();
    void runTakesOnlyTheStartedKinds();
    void eachFileTakesItsOwnKindsOptions();

private:
    UrlRecorder m_urls; // nothing is opened for real
    QStringList images(int count, const QString& prefix);

    std::unique_ptr<TestFolder> m_dir;
};

void TestQueueControl::initTestCase()
{
    for (const char* tool : {"ffmpeg", "pngquant", "convert", "gifsicle", "soffice"})
        VX_REQUIRE_TOOL(tool);
    WindowDriver::startProgramServices();
}

void TestQueueControl::cleanupTestCase()
{
    WindowDriver::stopProgramServices();
}

void TestQueueControl::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
}

void TestQueueControl::cleanup()
{
    m_dir.reset();
}

QStringList TestQueueControl::images(int count, const QString& prefix)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path =
            m_dir->filePath(QString("%1%2.%3").arg(prefix).arg(i).arg(i % 2 ? "png" : "jpg"));
        if (!SampleFiles::make(path, m_dir->path()))
            return QStringList();
        paths << path;
    }
    return paths;
}

void TestQueueControl::emptyQueueEndsAtTheNextTick()
{
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.showKind(Kind::Video);
    driver.pressStart();
    QCOMPARE(driver.buttonText(), QString("压缩中..."));
    QVERIFY(window.isQueueRunning());
    QTimer* tick = dispatchTick(window);
    QVERIFY(tick);
    QSignalSpy ticks(tick, &QTimer::timeout);
    QVERIFY(ticks.wait(30000));
    // The window saw its tick before the spy did: the run is over at this very tick.
    QCOMPARE(ticks.count(), 1);
    QVERIFY(!window.isQueueRunning());
    QCOMPARE(driver.buttonText(), QString("开始压缩"));
}

void TestQueueControl::corruptFilesFailAndTheQueueEnds()
{
    const QStringList corrupt = {m_dir->filePath("broken.mp4"),  m_dir->filePath("broken.png"),
                                 m_dir->filePath("broken.gif"),  m_dir->filePath("broken.pdf"),
                                 m_dir->filePath("broken.docx"), m_dir->filePath("broken.pptx"),
                                 m_dir->filePath("broken.doc"),  m_dir->filePath("broken.ppt")};
    for (const QString& path : corrupt)
        QVERIFY(SampleFiles::makeCorrupt(path));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(corrupt);
    for (int kind : {Kind::Video, Kind::Image, Kind::PowerPoint, Kind::Pdf, Kind::Word}) {
        driver.showKind(kind);
        driver.pressStart();
        QVERIFY2(driver.waitForRunEnd(120000), qPrintable(QString("kind %1 did not end").arg(kind)));
        QVERIFY2(driver.states(kind) == repeated("压缩失败", driver.rowCount(kind)),
                 qPrintable(QString("kind %1: %2").arg(kind).arg(driver.states(kind).join(", "))));
        QCOMPARE(driver.buttonText(), QString("开始压缩"));
        QCOMPARE(window.freeTaskSlots(), 4);
    }
    // No failed job leaves a result behind.
    for (const QString& path : corrupt) {
        const QStringList results = QDir(m_dir->path()).entryList({"c_broken*"}, QDir::Files);
        QVERIFY2(results.isEmpty(), qPrintable(results.join(", ") + " after " + path));
    }
}

void TestQueueControl::refusalsWhileRunning()
{
    const QString video = m_dir->filePath("long.mp4");
    const QString other = m_dir->filePath("other.mp4");
    QVERIFY(makeLongVideo(video));
    QVERIFY(makeLongVideo(other));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({video});
    driver.pressStart();
    QTRY_VERIFY_WITH_TIMEOUT(window.freeTaskSlots() == 3, 60000);
    // ffmpeg is held still while the refusals come, so the run lasts however fast the machine.
    FrozenProcesses ffmpeg(video, "ffmpeg");
    QTRY_VERIFY_WITH_TIMEOUT(ffmpeg.hold() > 0, 60000);

    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera1"));
    QTest::mouseClick(window.findChild<QPushButton*>("btnAddFile"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>("btnAddFolder"), Qt::LeftButton);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(other)});
    QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(!enter.isAccepted());
    QWidget* row = driver.list(Kind::Video)->itemWidget(driver.list(Kind::Video)->item(0));
    QTest::mouseClick(row->findChild<QPushButton*>("btnRemove"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.answered(), 4, 30000);
    QCOMPARE(answerer.texts().at(0),
             QString("提示|现在不能添加文件|正在压缩中，请等待当前任务完成后再添加文件"));
    QVERIFY(answerer.texts().at(1).contains("现在不能添加文件"));
    QVERIFY(answerer.texts().at(2).contains("现在不能添加文件"));
    QCOMPARE(answerer.texts().at(3), QString("提示|移除失败|压缩任务正在运行，现在不能移除列表项"));
    QCOMPARE(window.queue(Kind::Video), QStringList{video});
    QCOMPARE(driver.rowCount(Kind::Video), 1);
    QVERIFY(window.isQueueRunning());
    ffmpeg.release();
    QVERIFY(driver.waitForRunEnd(120000));
    QCOMPARE(driver.states(Kind::Video), QStringList{"已完成"});
}

void TestQueueControl::rerunDispatchesOnlyNewFiles()
{
    const QStringList first = images(3, "first");
    QCOMPARE(first.size(), 3);
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(first);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    QCOMPARE(JsonParsing::readHistory(Kind::Image, "history.json").size(), 3);
    QCOMPARE(window.queueIndex(Kind::Image), 3);

    const QStringList second = images(2, "second");
    driver.addFiles(second);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    const QList<QStringList> history = JsonParsing::readHistory(Kind::Image, "history.json");
    QCOMPARE(history.size(), 5);
    QCOMPARE(history.at(3).value(1), second.at(0));
    QCOMPARE(history.at(4).value(1), second.at(1));
    QCOMPARE(driver.states(Kind::Image), repeated("已完成", 5));
    QCOMPARE(driver.rowText(Kind::Image, 4, "labelNumber"), QString("5"));
}

void TestQueueControl::removingAWaitingRowRunsNoFinishedOne()
{
    const QStringList done = images(3, "done");
    const QStringList added = images(2, "added");
    QCOMPARE(done.size() + added.size(), 5);
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(done);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    QCOMPARE(driver.states(Kind::Image), repeated("已完成", 3));
    QHash<QString, QDateTime> written;
    for (const QFileInfo& result : QDir(m_dir->path()).entryInfoList({"c_*"}, QDir::Files))
        written.insert(result.fileName(), result.lastModified());
    QCOMPARE(written.size(), 3);

    driver.addFiles(added);
    QWidget* last = driver.list(Kind::Image)->itemWidget(driver.list(Kind::Image)->item(4));
    QTest::mouseClick(last->findChild<QPushButton*>("btnRemove"), Qt::LeftButton);
    QCOMPARE(window.queue(Kind::Image), done + added.mid(0, 1));
    EngineWatch watch(window);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    QCOMPARE(watch.finalReports(), 1);
    const QList<QStringList> history = JsonParsing::readHistory(Kind::Image, "history.json");
    QCOMPARE(history.size(), 4);
    QCOMPARE(history.last().value(1), added.at(0));
    QCOMPARE(driver.states(Kind::Image), repeated("已完成", 4));
    for (auto result = written.cbegin(); result != written.cend(); ++result)
        QCOMPARE(QFileInfo(m_dir->filePath(result.key())).lastModified(), result.value());
}

void TestQueueControl::optionChangeRunsEverythingAgain()
{
    const QStringList files = images(3, "again");
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(files);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    QTest::mouseClick(window.findChild<QRadioButton*>("rbMin"), Qt::LeftButton);
    QCOMPARE(window.queueIndex(Kind::Image), 0);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    QCOMPARE(JsonParsing::readHistory(Kind::Image, "history.json").size(), 6);
    QCOMPARE(driver.states(Kind::Image), repeated("已完成", 3));
    QCOMPARE(window.queueIndex(Kind::Image), 3);
}

void TestQueueControl::clearingARunningListGivesTheSlotsBack()
{
    QStringList videos;
    for (int i = 0; i < 3; ++i) {
        videos << m_dir->filePath(QString("run%1.mp4").arg(i));
        QVERIFY(makeLongVideo(videos.last()));
    }
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(videos);
    driver.pressStart();
    QTRY_COMPARE_WITH_TIMEOUT(window.freeTaskSlots(), 1, 60000);
    QTest::mouseClick(window.findChild<QPushButton*>("btnClear"), Qt::LeftButton);
    QCOMPARE(driver.rowCount(Kind::Video), 0);
    QCOMPARE(window.freeTaskSlots(), 4);
    QVERIFY(driver.waitForRunEnd(30000));
    QCOMPARE(driver.buttonText(), QString("开始压缩"));
    QTRY_COMPARE_WITH_TIMEOUT(driver.enginesAlive(), 0, 30000);
    // The cleared files can be added and run again.
    driver.addFiles(videos.mid(0, 1));
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(120000));
    QCOMPARE(driver.states(Kind::Video), QStringList{"已完成"});
}

void TestQueueControl::chosenOutputFolder()
{
    const QString picture = m_dir->filePath("source/picture.png");
    const QString pdf = m_dir->filePath("source/document.pdf");
    QVERIFY(QDir().mkpath(m_dir->filePath("source")));
    QVERIFY(SampleFiles::make(picture, m_dir->path()));
    QVERIFY(SampleFiles::make(pdf, m_dir->path()));
    const QString chosen = m_dir->filePath("chosen folder");
    const QString second = m_dir->filePath("second");
    QVERIFY(QDir().mkpath(chosen));
    QVERIFY(QDir().mkpath(second));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({picture, pdf});
    // Each kind writes into the folder chosen on its own page.
    for (int kind : {Kind::Image, Kind::Pdf}) {
        driver.showKind(kind);
        QTest::mouseClick(window.findChild<QRadioButton*>("rbNewOutDir"), Qt::LeftButton);
        QCOMPARE(chooseOutputFolder(window, chosen), 1);
        driver.pressStart();
        QVERIFY(driver.waitForRunEnd(60000));
        QCOMPARE(driver.states(kind), QStringList{"已完成"});
    }
    QVERIFY(QFileInfo::exists(chosen + "/c_picture.png"));
    QVERIFY(QFileInfo::exists(chosen + "/c_document.pdf"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("source/c_picture.png")));
    QCOMPARE(JsonParsing::readHistory(Kind::Pdf, "history.json").value(0).value(2),
             chosen + "/c_document.pdf");

    // Another folder is an option change of the shown kind: its next start writes there.
    driver.showKind(Kind::Image);
    QCOMPARE(chooseOutputFolder(window, second), 1);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    QCOMPARE(driver.states(Kind::Image), QStringList{"已完成"});
    QVERIFY(QFileInfo::exists(second + "/c_picture.png"));
    QCOMPARE(JsonParsing::readHistory(Kind::Image, "history.json").size(), 2);
}

void TestQueueControl::suffixOfNoKindIsRefused()
{
    const QString text = m_dir->filePath("notes.txt");
    QVERIFY(SampleFiles::makeCorrupt(text));
    MainWidget window;
    window.show();
    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera2"));
    window.openFile(text);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(answerer.texts().first().contains("不支持该格式文件！"));
    for (int kind = 0; kind < Kind::Count; ++kind)
        QVERIFY(window.queue(kind).isEmpty());
    QListWidget* videoList = window.findChild<QListWidget*>("listWidgetVideo");
    QCOMPARE(videoList->count(), 0);
}

void TestQueueControl::runTakesOnlyTheStartedKinds()
{
    const QStringList pictures = images(4, "waiting");
    QCOMPARE(pictures.size(), 4);
    QStringList videos;
    for (int i = 0; i < 5; ++i) {
        videos << m_dir->filePath(QString("clip%1.mp4").arg(i));
        QVERIFY(SampleFiles::makeClip(videos.last()));
    }
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(pictures);
    driver.addFiles(videos);
    driver.pressStart();
    // Another page shown during the run: its button offers that kind's own start.
    driver.showKind(Kind::Image);
    QVERIFY(window.isQueueRunning());
    QCOMPARE(driver.buttonText(), QString("开始压缩"));
    QVERIFY(driver.waitForRunEnd(240000));
    QCOMPARE(driver.states(Kind::Video), repeated("已完成", 5));
    QCOMPARE(JsonParsing::readHistory(Kind::Video, "history.json").size(), 5);
    QVERIFY(JsonParsing::readHistory(Kind::Image, "history.json").isEmpty());
    QCOMPARE(window.queueIndex(Kind::Image), 0);
    QCOMPARE(driver.buttonText(), QString("开始压缩"));
    driver.showKind(Kind::Video);
    QCOMPARE(driver.buttonText(), QString("开始压缩"));

    driver.showKind(Kind::Image);
    driver.pressStart();
    QCOMPARE(driver.buttonText(), QString("压缩中..."));
    QVERIFY(driver.waitForRunEnd(120000));
    QCOMPARE(driver.states(Kind::Image), repeated("已完成", 4));
    QCOMPARE(JsonParsing::readHistory(Kind::Image, "history.json").size(), 4);
    QCOMPARE(JsonParsing::readHistory(Kind::Video, "history.json").size(), 5);
    QCOMPARE(driver.buttonText(), QString("开始压缩"));
}

void TestQueueControl::eachFileTakesItsOwnKindsOptions()
{
    QVERIFY(QDir().mkpath(m_dir->filePath("videos")));
    QVERIFY(QDir().mkpath(m_dir->filePath("pictures")));
    const QString picked = m_dir->filePath("picked");
    QVERIFY(QDir().mkpath(picked));
    QStringList videos;
    for (int i = 0; i < 3; ++i) {
        videos << m_dir->filePath(QString("videos/clip%1.mkv").arg(i));
        QVERIFY(SampleFiles::makeClip(videos.last()));
    }
    const QString picture = m_dir->filePath("pictures/drawing.png");
    QVERIFY(SampleFiles::make(picture, m_dir->path()));
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(videos);
    driver.addFiles({picture});
    // The picture page: JPG, half the size, into a folder of its own. The video page keeps its
    // format, its size and the source folder.
    QTest::mouseClick(window.findChild<QRadioButton*>("rbFormat"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QRadioButton*>("rbNewOutDir"), Qt::LeftButton);
    QCOMPARE(chooseOutputFolder(window, picked), 1);
    auto* scale = window.findChild<QLineEdit*>("lineEditScale");
    scale->selectAll();
    QTest::keyClicks(scale, "50");

    // Started on their page, the videos are handed out while the picture page is shown.
    driver.showKind(Kind::Video);
    driver.pressStart();
    driver.showKind(Kind::Image);
    QVERIFY(driver.waitForRunEnd(240000));
    QCOMPARE(driver.states(Kind::Video), repeated("已完成", 3));
    for (const QString& video : videos)
        QVERIFY2(QFileInfo::exists(m_dir->filePath("videos/c_" + QFileInfo(video).fileName())),
                 qPrintable(video));
    QCOMPARE(QDir(picked).entryList(QDir::Files), QStringList());

    // And the picture the other way round.
    driver.pressStart();
    driver.showKind(Kind::Video);
    QVERIFY(driver.waitForRunEnd(120000));
    QCOMPARE(driver.states(Kind::Image), QStringList{"已完成"});
    QCOMPARE(QImage(picture).size(), QSize(320, 240));
    QCOMPARE(QImage(picked + "/c_drawing.jpg").size(), QSize(160, 120));
    QCOMPARE(QDir(m_dir->filePath("pictures")).entryList({"c_*"}, QDir::Files), QStringList());
}

QTEST_MAIN(TestQueueControl)
#include "tst_queuecontrol.moc"
