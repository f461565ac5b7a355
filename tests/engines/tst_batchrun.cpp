// Many files in one run, and two programs running at once, through the real engines and tools:
// intermediate files last only as long as their job, no two programs share one, and no two files
// of a run write the same output.
#include <cstdio>
#include <functional>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "DocCompressCore.h"
#include "ImageCompressCore.h"
#include "OutputPaths.h"
#include "PathManager.h"
#include "PdfFactory.h"
#include "PlatformConstants.h"
#include "RunningTools.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "VideoCompressCore.h"

namespace
{
// Set in the copies of this program that twoProgramsAtOnceGetTheirOwnResults starts.
const char* const kChildOrder = "VX_BATCH_CHILD_ORDER"; // "forward" or "reverse"
const char* const kChildInputs = "VX_BATCH_CHILD_INPUTS";
const char* const kChildOutputs = "VX_BATCH_CHILD_OUTPUTS";
const char* const kChildTemp = "VX_BATCH_CHILD_TEMP";

struct Outcome {
    bool ended = false;
    bool ok = false;
    QString output;
};

// A picture that compresses like a photograph, different for every seed.
QImage picture(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 140, 230));
    gradient.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 80));
    QPainter painter(&image);
    painter.fillRect(image.rect(), gradient);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        painter.setBrush(QColor::fromHsv(int(random.bounded(360)), 160, 210, 120));
        painter.setPen(Qt::NoPen);
        const int radius = 5 + int(random.bounded(qMax(1, width / 4)));
        painter.drawEllipse(QPoint(int(random.bounded(width)), int(random.bounded(height))), radius, radius);
    }
    return image;
}

// The image as plain pixels, to compare results whatever their files hold besides.
QImage pixelsOf(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

QStringList leftIn(const QString& folder)
{
    return TestEnv::entriesUnder(folder);
}
} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void batchLeavesNoIntermediateFiles();
    void twoProgramsAtOnceGetTheirOwnResults();
    void sameNamedImagesGetTheirOwnOutputs();
    void sameNamedVideosGetTheirOwnOutputs();
    void outputNeverReplacesAQueuedInput();

private:
    // Starts one image job as the window's start step does: resized first (to its own size at
    // 100 %), the format kept. Returns the output path the engine gives.
    QString startImage(const QString& input, const QString& outDir, Outcome* outcome);
    QString startPdf(const QString& input, Outcome* outcome);
    // Runs the jobs at most `slotCount` at a time, as the queue does, until all have ended.
    void runQueue(const QList<std::function<void(Outcome*)>>& jobs, QList<Outcome>* outcomes, int slotCount);
    // Writes `count` pictures of mixed sizes and kinds into `folder`; returns their paths.
    QStringList makeImages(const QString& folder, int count, const QStringList& suffixes, int factor = 1);
    // The child's part of twoProgramsAtOnceGetTheirOwnResults: every image of its inputs at once.
    void runAsChild();

    QTemporaryDir m_dir;
    QObject* m_parent = nullptr;
};

void TestBatchRun::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    if (qEnvironmentVariableIsSet(kChildOrder)) // the temporary folder that both programs share
        qputenv("VX_TEMP_DIR", qgetenv(kChildTemp));
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/data").toLocal8Bit());
    VX_REQUIRE_TOOL("pngquant");
    VX_REQUIRE_TOOL("convert");
    VX_REQUIRE_TOOL("gifsicle");
    VX_REQUIRE_TOOL("ffmpeg");
    ThreadPool::instance()->start(4);
    QVERIFY(QFileInfo(PathManager::instance()->tempDir()).isDir());
}

void TestBatchRun::cleanupTestCase()
{
    RunningTools::endAll();
    ThreadPool::instance()->stop();
}

void TestBatchRun::init()
{
    OutputPaths::reset();
    QFile::remove(Tool::logFilePath());
}

QStringList TestBatchRun::makeImages(const QString& folder, int count, const QStringList& suffixes,
                                     int factor)
{
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString suffix = suffixes[i % suffixes.size()];
        const QString path = QString("%1/picture %2.%3").arg(folder).arg(i, 2, 10, QChar('0')).arg(suffix);
        const QImage image =
            picture(factor * (120 + 37 * (i % 7)), factor * (90 + 23 * (i % 5)), quint32(i + 1));
        if (suffix == "gif") {
            const QString png = path + ".source.png";
            image.save(png);
            TestEnv::runTool("convert", {png, path});
            QFile::remove(png);
        } else {
            image.save(path, suffix == "jpg" ? "JPEG" : suffix.toUpper().toLatin1().constData(), 95);
        }
        if (QFileInfo(path).size() > 0)
            paths << path;
    }
    return paths;
}

QString TestBatchRun::startImage(const QString& input, const QString& outDir, Outcome* outcome)
{
    auto* engine = new ImageCompressCore(PlatformConstants::pngquantPath(),
                                         PlatformConstants::convertProgram(), m_parent);
    connect(engine, &ImageCompressCore::sig_sendProgress, m_parent,
            [outcome](float progress, bool stat, QString path) {
                if (outcome->ended || (progress >= 0 && !stat))
                    return;
                outcome->ended = true;
                outcome->ok = stat;
                outcome->output = path;
            });
    const QSize size = QImage(input).size();
    engine->setScaleSize(size.width(), size.height());
    const QString suffix = QFileInfo(input).suffix().toLower();
    if (suffix == "gif")
        return engine->compressGif(input, outDir, 80);
    engine->setKeepFormat(true);
    if (suffix == "png")
        return engine->compressPng(input, outDir, 10, 80);
    return engine->compressJpg(input, outDir, 70);
}

QString TestBatchRun::startPdf(const QString& input, Outcome* outcome)
{
    auto* engine = new DocCompressCore(PlatformConstants::compressionToolPath(),
                                       PlatformConstants::docToolPath(false), m_parent);
    connect(engine, &DocCompressCore::sig_sendProgress, m_parent,
            [outcome](float progress, bool stat, QString path) {
                if (outcome->ended || (progress >= 0 && !stat))
                    return;
                outcome->ended = true;
                outcome->ok = stat;
                outcome->output = path;
            });
    const QString output =
        OutputPaths::claim(QFileInfo(input).absolutePath() + "/c_" + QFileInfo(input).fileName(), input);
    engine->compressPdf(input, output, 50);
    return output;
}

void TestBatchRun::runQueue(const QList<std::function<void(Outcome*)>>& jobs, QList<Outcome>* outcomes,
                            int slotCount)
{
    *outcomes = QList<Outcome>();
    for (int i = 0; i < jobs.size(); ++i)
        outcomes->append(Outcome());
    int next = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 240000) {
        int running = 0;
        int ended = 0;
        for (int i = 0; i < next; ++i)
            (*outcomes)[i].ended ? ++ended : ++running;
        if (ended == jobs.size())
            return;
        while (running < slotCount && next < jobs.size()) {
            jobs[next]((&(*outcomes)[next]));
            ++next;
            ++running;
        }
        QTest::qWait(50);
    }
}

void TestBatchRun::batchLeavesNoIntermediateFiles()
{
    // 40 pictures of the four kinds and six PDFs, four at a time: afterwards neither the program's
    // temporary folder nor the PDF work folders hold anything, and no tool runs.
    QObject owner;
    m_parent = &owner;
    const QStringList images = makeImages(m_dir.path() + "/batch", 40, {"png", "jpg", "bmp", "gif", "png"});
    QCOMPARE(images.size(), 40);
    QStringList pdfs;
    for (int i = 0; i < 6; ++i) {
        PdfFactory::Options options;
        options.pages = 8 + 5 * i;
        options.content = PdfFactory::Content::Mixed;
        options.imageWidth = 300;
        const QString path = QString("%1/batch/document %2.pdf").arg(m_dir.path()).arg(i);
        QVERIFY(PdfFactory::write(path, options));
        pdfs << path;
    }

    QList<std::function<void(Outcome*)>> jobs;
    for (int i = 0; i < 40; ++i) {
        jobs << [this, &images, i](Outcome* outcome) {
            startImage(images[i], m_dir.path() + "/batch/", outcome);
        };
        if (i % 7 == 3 && i / 7 < pdfs.size())
            jobs << [this, &pdfs, i](Outcome* outcome) { startPdf(pdfs[i / 7], outcome); };
    }
    QCOMPARE(jobs.size(), 46);
    QList<Outcome> outcomes;
    runQueue(jobs, &outcomes, 4);

    for (const Outcome& outcome : outcomes) {
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.ok, qPrintable(outcome.output + "\n" + TestEnv::logLines().join('\n')));
        QVERIFY2(QFileInfo(outcome.output).size() > 0, qPrintable(outcome.output));
    }
    QCOMPARE(leftIn(TempFolder::path()), QStringList());
    QCOMPARE(leftIn(PathManager::instance()->tempDir()), QStringList());
    QCOMPARE(RunningTools::instance()->count(), 0);
    QCOMPARE(TestEnv::processesMentioning(m_dir.path()), QStringList());
    // Only the inputs and their results are in the folder.
    QCOMPARE(QDir(m_dir.path() + "/batch").entryList(QDir::Files).size(), 2 * 46);
    m_parent = nullptr;
}

void TestBatchRun::runAsChild()
{
    QObject owner;
    m_parent = &owner;
    QStringList inputs =
        QDir(qEnvironmentVariable(kChildInputs)).entryList({"*.png", "*.jpg"}, QDir::Files, QDir::Name);
    if (qEnvironmentVariable(kChildOrder) == "reverse")
        std::reverse(inputs.begin(), inputs.end());
    const QString outDir = qEnvironmentVariable(kChildOutputs) + '/';
    QVERIFY(QDir().mkpath(outDir));
    QList<Outcome> outcomes;
    for (int i = 0; i < inputs.size(); ++i)
        outcomes.append(Outcome());
    // All at once: each program numbers its intermediate files 1, 2, 3, ... in its own order.
    for (int i = 0; i < inputs.size(); ++i)
        startImage(qEnvironmentVariable(kChildInputs) + '/' + inputs[i], outDir, &outcomes[i]);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.ended; }), 120000);
    for (const Outcome& outcome : outcomes)
        QVERIFY2(outcome.ok, qPrintable(outcome.output));
    // The close step: this program's own folder goes, the shared one stays for the other.
    QVERIFY(TempFolder::remove());
    m_parent = nullptr;
}

void TestBatchRun::twoProgramsAtOnceGetTheirOwnResults()
{
    if (qEnvironmentVariableIsSet(kChildOrder)) {
        runAsChild();
        return;
    }
    const QString inputs = m_dir.path() + "/shared inputs";
    // Large enough that the two programs' tools overlap for long.
    // Mostly PNG, so that both programs' numbered files ("scale_2.png", "c_2.png") would meet.
    const QStringList images = makeImages(inputs, 12, {"png", "png", "jpg"}, 6);
    QCOMPARE(images.size(), 12);
    const QString shared = m_dir.path() + "/shared temp/";

    QList<std::shared_ptr<QProcess>> children;
    for (const QString order : {"forward", "reverse"}) {
        auto child = std::make_shared<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kChildOrder, order);
        environment.insert(kChildInputs, inputs);
        environment.insert(kChildOutputs, m_dir.path() + "/out " + order);
        environment.insert(kChildTemp, shared);
        child->setProcessEnvironment(environment);
        child->setProcessChannelMode(QProcess::MergedChannels);
        children << child;
    }
    // Started together, so that their jobs overlap.
    for (const auto& child : children)
        child->start(QCoreApplication::applicationFilePath(), {"twoProgramsAtOnceGetTheirOwnResults"});
    for (const auto& child : children) {
        QVERIFY(child->waitForFinished(180000));
        const QByteArray said = child->readAll();
        QVERIFY2(child->exitCode() == 0 &&
                     said.contains("PASS   : TestBatchRun::twoProgramsAtOnceGetTheirOwnResults()"),
                 said.constData());
    }
    QCOMPARE(leftIn(shared), QStringList());

    // The same pictures through one program alone are the reference, pixel for pixel.
    QObject owner;
    m_parent = &owner;
    const QString alone = m_dir.path() + "/out alone/";
    QVERIFY(QDir().mkpath(alone));
    QList<Outcome> outcomes;
    for (int i = 0; i < images.size(); ++i)
        outcomes.append(Outcome());
    for (int i = 0; i < images.size(); ++i)
        startImage(images[i], alone, &outcomes[i]);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.ended; }), 120000);
    m_parent = nullptr;
    for (const Outcome& outcome : outcomes) {
        QVERIFY(outcome.ok);
        const QString name = QFileInfo(outcome.output).fileName();
        const QImage reference = pixelsOf(outcome.output);
        QVERIFY(!reference.isNull());
        for (const QString order : {"forward", "reverse"}) {
            const QImage result = pixelsOf(m_dir.path() + "/out " + order + "/" + name);
            QVERIFY2(result == reference, qPrintable(order + ": " + name));
        }
    }
}

void TestBatchRun::sameNamedImagesGetTheirOwnOutputs()
{
    // "x.1.png" and "x.2.png" both make "c_x.png": the later one gets "c_x_2.png", and each result
    // is its own input's.
    QObject owner;
    m_parent = &owner;
    const QString folder = m_dir.path() + "/twins";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(picture(200, 100, 11).save(folder + "/x.1.png"));
    QVERIFY(picture(90, 160, 12).save(folder + "/x.2.png"));
    Outcome first;
    Outcome second;
    QCOMPARE(startImage(folder + "/x.1.png", folder + '/', &first), folder + "/c_x.png");
    QCOMPARE(startImage(folder + "/x.2.png", folder + '/', &second), folder + "/c_x_2.png");
    QTRY_VERIFY_WITH_TIMEOUT(first.ended && second.ended, 60000);
    QVERIFY(first.ok && second.ok);
    QCOMPARE(first.output, folder + "/c_x.png");
    QCOMPARE(second.output, folder + "/c_x_2.png");
    QCOMPARE(QImage(first.output).size(), QSize(200, 100));
    QCOMPARE(QImage(second.output).size(), QSize(90, 160));
    m_parent = nullptr;
}

void TestBatchRun::sameNamedVideosGetTheirOwnOutputs()
{
    // Converted to MP4, "clip.1.avi" and "clip.2.mov" both make "c_clip.mp4".
    const QString folder = m_dir.path() + "/clips";
    QVERIFY(QDir().mkpath(folder));
    const QList<QPair<QString, QString>> clips = {{"clip.1.avi", "160x120"}, {"clip.2.mov", "128x96"}};
    for (const auto& clip : clips) {
        QCOMPARE(TestEnv::runTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                             "testsrc=size=" + clip.second + ":rate=25:duration=1",
                                             "-pix_fmt", "yuv420p", folder + "/" + clip.first}),
                 0);
    }
    VideoCompressCore first(PlatformConstants::ffmpegPath(), nullptr);
    VideoCompressCore second(PlatformConstants::ffmpegPath(), nullptr);
    QSignalSpy firstSpy(&first, &VideoCompressCore::sig_sendProgress);
    QSignalSpy secondSpy(&second, &VideoCompressCore::sig_sendProgress);
    const QString firstOut = first.compress(folder + "/clip.1.avi", true, folder + '/', {160, 120, 1.0f, 28});
    const QString secondOut =
        second.compress(folder + "/clip.2.mov", true, folder + '/', {128, 96, 1.0f, 28});
    QCOMPARE(firstOut, folder + "/c_clip.mp4");
    QCOMPARE(secondOut, folder + "/c_clip_2.mp4");
    QTRY_VERIFY_WITH_TIMEOUT(!firstSpy.isEmpty() && firstSpy.last()[1].toBool(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!secondSpy.isEmpty() && secondSpy.last()[1].toBool(), 60000);
    QCOMPARE(firstSpy.last()[2].toString(), firstOut);
    QCOMPARE(secondSpy.last()[2].toString(), secondOut);
    // The scale filter rounds each size up to tens: 160x120 stays, 128x96 becomes 130x100.
    QByteArray said;
    QCOMPARE(TestEnv::runTool("ffprobe",
                              {"-v", "error", "-select_streams", "v:0", "-show_entries",
                               "stream=width,height", "-of", "csv=p=0", firstOut},
                              &said),
             0);
    QCOMPARE(said.trimmed(), QByteArray("160,120"));
    QCOMPARE(TestEnv::runTool("ffprobe",
                              {"-v", "error", "-select_streams", "v:0", "-show_entries",
                               "stream=width,height", "-of", "csv=p=0", secondOut},
                              &said),
             0);
    QCOMPARE(said.trimmed(), QByteArray("130,100"));
}

void TestBatchRun::outputNeverReplacesAQueuedInput()
{
    // "a.png" and "c_a.png" are queued together: a.png's result would replace the other input.
    QObject owner;
    m_parent = &owner;
    const QString folder = m_dir.path() + "/queued";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(picture(150, 100, 21).save(folder + "/a.png"));
    QVERIFY(picture(100, 150, 22).save(folder + "/c_a.png"));
    QFile queued(folder + "/c_a.png");
    QVERIFY(queued.open(QIODevice::ReadOnly));
    const QByteArray before = queued.readAll();
    queued.close();

    OutputPaths::protect({folder + "/a.png", folder + "/c_a.png"});
    Outcome first;
    Outcome second;
    QCOMPARE(startImage(folder + "/a.png", folder + '/', &first), folder + "/c_a_2.png");
    QCOMPARE(startImage(folder + "/c_a.png", folder + '/', &second), folder + "/c_c_a.png");
    QTRY_VERIFY_WITH_TIMEOUT(first.ended && second.ended, 60000);
    QVERIFY(first.ok && second.ok);
    QVERIFY(queued.open(QIODevice::ReadOnly));
    QCOMPARE(queued.readAll(), before);
    QCOMPARE(QImage(first.output).size(), QSize(150, 100));
    QCOMPARE(QImage(second.output).size(), QSize(100, 150));
    m_parent = nullptr;
}

QTEST_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
