// The window over long batches, side by side with a second program, and closed in the middle of a
// run: intermediate files go with their jobs, results never overwrite each other, and closing ends
// the work at once.
#include <memory>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "FrozenProcesses.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "MainWidget.h"
#include "ModalAnswerer.h"
#include "OutputPaths.h"
#include "PathManager.h"
#include "PdfFactory.h"
#include "RunningTools.h"
#include "SampleFiles.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "UrlRecorder.h"
#include "WindowDriver.h"

namespace
{

// Set in the two child programs of twoWindowsAtOnce: where their inputs are and their results go.
const char* const kChildInputs = "VX_TEST_CHILD_INPUTS";
const char* const kChildOutputs = "VX_TEST_CHILD_OUTPUTS";
const char* const kChildTemp = "VX_TEST_CHILD_TEMP";

// Pictures of mixed size and format, each one its own.
QStringList makeImages(const QString& folder, int count)
{
    QDir().mkpath(folder);
    const QStringList suffixes = {"png", "jpg", "png", "bmp", "gif"};
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path =
            QString("%1/picture %2.%3").arg(folder).arg(i).arg(suffixes[i % suffixes.size()]);
        if (!SampleFiles::make(path, folder))
            return QStringList();
        paths << path;
    }
    return paths;
}

bool samePixels(const QString& first, const QString& second)
{
    const QImage a(first);
    const QImage b(second);
    return !a.isNull() &&
           a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

// Runs the images through the window with the chosen output folder; true when all finished.
bool runImages(MainWidget& window, const QStringList& images, const QString& outputs)
{
    WindowDriver driver(window);
    driver.addFiles(images);
    QTest::mouseClick(window.findChild<QRadioButton*>("rbNewOutDir"), Qt::LeftButton);
    {
        ModalAnswerer answerer(ModalAnswerer::chooseFolder(outputs));
        QTest::mouseClick(window.findChild<QPushButton*>("btnChangeDir"), Qt::LeftButton);
    }
    driver.pressStart();
    return driver.waitForRunEnd(240000) && !driver.states(Kind::Image).contains("压缩失败");
}

} // namespace

class TestWindowBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void batchLeavesNoIntermediateFiles();
    void clashingNamesGetTheirOwnResults();
    void twoWindowsAtOnce();
    void closingDuringAPdfRunEndsAtOnce();

private:
    UrlRecorder m_urls; // nothing is opened for real
    std::unique_ptr<TestFolder> m_dir;
};

void TestWindowBatch::initTestCase()
{
    for (const char* tool : {"ffmpeg", "pngquant", "convert", "gifsicle"})
        VX_REQUIRE_TOOL(tool);
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    if (qEnvironmentVariableIsSet(kChildTemp)) // the temporary folder that both programs share
        qputenv("VX_TEMP_DIR", qgetenv(kChildTemp));
    WindowDriver::startProgramServices();
}

void TestWindowBatch::cleanupTestCase()
{
    WindowDriver::stopProgramServices();
    m_dir.reset();
}

void TestWindowBatch::init()
{
    // Each test keeps its own history file.
    const QString working = m_dir->filePath(QString("work-") + QTest::currentTestFunction());
    QVERIFY(QDir().mkpath(working));
    QDir::setCurrent(working);
}

void TestWindowBatch::batchLeavesNoIntermediateFiles()
{
    const QString folder = m_dir->filePath("batch");
    const QStringList images = makeImages(folder, 40);
    QCOMPARE(images.size(), 40);
    QStringList pdfs;
    for (int i = 0; i < 6; ++i) {
        pdfs << QString("%1/document %2.pdf").arg(folder).arg(i);
        QVERIFY(SampleFiles::make(pdfs.last(), folder));
    }
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(images + pdfs);
    for (int kind : {Kind::Image, Kind::Pdf}) {
        driver.showKind(kind);
        driver.pressStart();
        QVERIFY(driver.waitForRunEnd(300000));
        QCOMPARE(driver.states(kind),
                 QStringList(QVector<QString>(driver.rowCount(kind), "已完成").toList()));
        QCOMPARE(TestEnv::entriesUnder(TempFolder::path()), QStringList());
        QCOMPARE(TestEnv::entriesUnder(PathManager::instance()->tempDir()), QStringList());
    }
    QCOMPARE(QDir(folder).entryList({"c_*"}, QDir::Files).size(), 46);
    QVERIFY(driver.mostEnginesAtOnce() <= 4);
}

void TestWindowBatch::clashingNamesGetTheirOwnResults()
{
    const QString folder = m_dir->filePath("clash");
    QVERIFY(QDir().mkpath(folder));
    // "x.1.png" and "x.2.png" both make "c_x.png"; "y.png" would make "c_y.png", itself queued.
    const QStringList inputs = {folder + "/x.1.png", folder + "/x.2.png", folder + "/y.png",
                                folder + "/c_y.png"};
    for (int i = 0; i < inputs.size(); ++i) {
        QImage picture(160 + 40 * i, 120, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(60 * i, 200, 200));
        QVERIFY(picture.save(inputs[i]));
    }
    const QByteArray queuedBytes = [&] {
        QFile file(inputs[3]);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles(inputs);
    driver.pressStart();
    QVERIFY(driver.waitForRunEnd(60000));
    QCOMPARE(driver.states(Kind::Image), QStringList(QVector<QString>(4, "已完成").toList()));

    const QList<QStringList> history = JsonParsing::readHistory(Kind::Image, "history.json");
    QCOMPARE(history.size(), 4);
    QSet<QString> outputs;
    for (const QStringList& entry : history)
        outputs.insert(entry.value(2));
    QCOMPARE(outputs.size(), 4);
    QVERIFY(!outputs.contains(inputs[3]));
    QVERIFY(outputs.contains(folder + "/c_x.png"));
    QVERIFY(outputs.contains(folder + "/c_x_2.png"));
    // Each result is its own input's picture, and the queued "c_y.png" is as it was.
    for (const QStringList& entry : history)
        QCOMPARE(QImage(entry.value(2)).size(), QImage(entry.value(1)).size());
    QFile queued(inputs[3]);
    QVERIFY(queued.open(QIODevice::ReadOnly));
    QCOMPARE(queued.readAll(), queuedBytes);
}

void TestWindowBatch::twoWindowsAtOnce()
{
    if (qEnvironmentVariableIsSet(kChildInputs)) {
        // One of the two programs: its own window over the shared inputs.
        const QString inputs = qEnvironmentVariable(kChildInputs);
        QStringList images;
        for (const QFileInfo& entry : QDir(inputs).entryInfoList(QDir::Files, QDir::Name))
            images << entry.filePath();
        const QString outputs = qEnvironmentVariable(kChildOutputs);
        QVERIFY(QDir().mkpath(outputs));
        MainWidget window;
        window.show();
        QVERIFY(runImages(window, images, outputs));
        // Closed as a user closes it, which removes this program's own intermediate folder.
        ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera1"));
        window.close();
        QTRY_VERIFY(!window.isVisible());
        return;
    }
    const QString inputs = m_dir->filePath("shared inputs");
    const QStringList images = makeImages(inputs, 12);
    QCOMPARE(images.size(), 12);
    // Both programs share the temporary folder; each must keep to its own files in it.
    const QString sharedTemp = m_dir->filePath("shared temp") + "/";
    QList<std::shared_ptr<QProcess>> children;
    for (const QString& name : {QString("first"), QString("second")}) {
        auto child = std::make_shared<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kChildInputs, inputs);
        environment.insert(kChildOutputs, m_dir->filePath("out " + name));
        environment.insert(kChildTemp, sharedTemp);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        child->setProcessEnvironment(environment);
        child->setWorkingDirectory(m_dir->path());
        child->setProcessChannelMode(QProcess::MergedChannels);
        children << child;
    }
    for (const auto& child : children)
        child->start(QCoreApplication::applicationFilePath(), {"twoWindowsAtOnce"});
    for (const auto& child : children) {
        QVERIFY(child->waitForFinished(300000));
        const QByteArray said = child->readAll();
        QVERIFY2(child->exitCode() == 0 && said.contains("PASS   : TestWindowBatch::twoWindowsAtOnce()"),
                 said.constData());
    }
    QCOMPARE(TestEnv::entriesUnder(sharedTemp), QStringList());

    // One window alone is the reference, pixel for pixel.
    const QString alone = m_dir->filePath("out alone");
    QVERIFY(QDir().mkpath(alone));
    {
        MainWidget window;
        window.show();
        QVERIFY(runImages(window, images, alone));
    }
    const QStringList results = QDir(alone).entryList(QDir::Files, QDir::Name);
    QCOMPARE(results.size(), 12);
    for (const QString& name : results) {
        for (const char* other : {"out first", "out second"}) {
            const QString theirs = m_dir->filePath(QString(other) + "/" + name);
            QVERIFY2(samePixels(alone + "/" + name, theirs), qPrintable(theirs));
        }
    }
}

void TestWindowBatch::closingDuringAPdfRunEndsAtOnce()
{
    const QString folder = m_dir->filePath("long");
    QVERIFY(QDir().mkpath(folder));
    PdfFactory::Options options;
    options.pages = 300;
    options.content = PdfFactory::Content::Mixed;
    options.imageWidth = 800;
    const QString book = folder + "/long book.pdf";
    QVERIFY(PdfFactory::write(book, options));
    QFile original(book);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    original.close();

    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.addFiles({book});
    driver.pressStart();
    QTRY_VERIFY_WITH_TIMEOUT(RunningTools::instance()->count() >= 2, 120000);
    // The running ranges' tools are held still: they can only end by being ended.
    FrozenProcesses ranges(m_dir->path());
    QTRY_VERIFY_WITH_TIMEOUT(ranges.hold() > 0, 120000);

    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera1"));
    QTest::mouseClick(window.findChild<QPushButton*>("btnClose"), Qt::LeftButton);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(!window.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(TestEnv::processesMentioning(m_dir->path()), QStringList(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(RunningTools::instance()->count(), 0, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(TestEnv::entriesUnder(PathManager::instance()->tempDir()), QStringList(),
                              30000);
    QCOMPARE(QDir(folder).entryList({"c_*"}, QDir::Files), QStringList());
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), bytes);
}

QTEST_MAIN(TestWindowBatch)
#include "tst_windowbatch.moc"
