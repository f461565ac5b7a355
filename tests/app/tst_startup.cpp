#include <clocale>
#include <csignal>
#include <langinfo.h>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTextCodec>
#include <QtTest>

#include "Kind.h"
#include "MainWidget.h"
#include "PDFCompressCore.h"
#include "PdfFactory.h"
#include "ProgressReport.h"
#include "StartUp.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "ThreadPool.h"

namespace
{
// argv as the platform hands it over: local 8-bit text, program name first.
class Argv
{
public:
    explicit Argv(const QStringList& arguments)
    {
        m_storage << QByteArray("Vornix");
        for (const QString& argument : arguments)
            m_storage << argument.toLocal8Bit();
        for (QByteArray& bytes : m_storage)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }
    int argc() const { return int(m_storage.size()); }
    char** argv() { return m_pointers.data(); }

private:
    QList<QByteArray> m_storage;
    std::vector<char*> m_pointers;
};

constexpr int kHomePage = -1;

// Set in the copy of this program that compresses a PDF and is killed with its page ranges at work:
// the temporary folder it is given, and the PDF.
const char* const kRangesChildTemp = "VX_STARTUP_RANGES_TEMP";
const char* const kRangesChildInput = "VX_STARTUP_RANGES_INPUT";
const int kChildWithinMs = 60000;

// The kind whose page is shown, or kHomePage.
int shownKind(const MainWidget& window)
{
    const auto* pages = window.findChild<QStackedWidget*>("stackedWidget");
    return pages->currentIndex() == 0 ? kHomePage : window.currentKind();
}

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}
} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pageOptions_data();
    void pageOptions();
    void quotedExistingPathOpensItsKind();
    void quoteInsideThePathIsRemoved();
    void nameWithQuotesOpens_data();
    void nameWithQuotesOpens();
    void nonAsciiPathOpens();
    void relativePathIsMadeAbsolute();
    void missingPathShowsHomePage();
    void workerCount_data();
    void workerCount();
    void programStartsAndStaysUp();
    void startClearsAKilledProgramsRangesOnly();
    void noLocaleMeansUtf8Text();
    void chosenLocaleIsKept();

private:
    std::unique_ptr<TestFolder> m_dir;
};

void TestStartUp::initTestCase()
{
    // The window keeps its history in the working folder.
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    if (qEnvironmentVariableIsSet(kRangesChildTemp))
        qputenv("VX_TEMP_DIR", qgetenv(kRangesChildTemp));
}

void TestStartUp::pageOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("kind");
    QTest::newRow("none") << QStringList() << kHomePage;
    QTest::newRow("video") << QStringList{"--video"} << int(Kind::Video);
    QTest::newRow("image, second argument ignored") << QStringList{"--image", "--pdf"} << int(Kind::Image);
    QTest::newRow("pdf") << QStringList{"--pdf"} << int(Kind::Pdf);
    QTest::newRow("case matters") << QStringList{"--Video"} << kHomePage;
    QTest::newRow("single dash is a path") << QStringList{"-video"} << kHomePage;
}

void TestStartUp::pageOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, kind);
    MainWidget window;
    Argv argv(arguments);
    StartUp::applyCommandLine(window, argv.argc(), argv.argv());
    QCOMPARE(shownKind(window), kind);
    for (int k = 0; k < Kind::Count; ++k)
        QVERIFY(window.queue(k).isEmpty());
}

void TestStartUp::quotedExistingPathOpensItsKind()
{
    const QString video = m_dir->path() + "/clip one.mp4";
    touch(video);
    MainWidget window;
    Argv argv({'"' + video + '"'});
    StartUp::applyCommandLine(window, argv.argc(), argv.argv());
    QCOMPARE(shownKind(window), int(Kind::Video));
    QCOMPARE(window.queue(Kind::Video), QStringList{video});
}

void TestStartUp::quoteInsideThePathIsRemoved()
{
    const QString document = m_dir->path() + "/report.docx";
    touch(document);
    const QString withQuote = m_dir->path() + "/rep\"ort.docx";
    MainWidget window;
    Argv argv({withQuote});
    StartUp::applyCommandLine(window, argv.argc(), argv.argv());
    QCOMPARE(shownKind(window), int(Kind::Word));
    QCOMPARE(window.queue(Kind::Word), QStringList{document});
}

void TestStartUp::nameWithQuotesOpens_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("quoted");
    QTest::newRow("quote in the name, bare") << "say \"hi\".pdf" << false;
    QTest::newRow("quote in the name, in quotes") << "say \"hi\".pdf" << true;
    QTest::newRow("plain name, in quotes") << "plain notes.pdf" << true;
}

void TestStartUp::nameWithQuotesOpens()
{
    QFETCH(QString, name);
    QFETCH(bool, quoted);
    const QString document = m_dir->path() + '/' + name;
    touch(document);
    MainWidget window;
    Argv argv({quoted ? '"' + document + '"' : document});
    StartUp::applyCommandLine(window, argv.argc(), argv.argv());
    QCOMPARE(shownKind(window), int(Kind::Pdf));
    QCOMPARE(window.queue(Kind::Pdf), QStringList{document});
}

void TestStartUp::nonAsciiPathOpens()
{
    const QString slides = m_dir->path() + QString::fromUtf8("/演示 文稿.PPTX");
    touch(slides);
    MainWidget window;
    Argv argv({slides});
    StartUp::applyCommandLine(window, argv.argc(), argv.argv());
    QCOMPARE(shownKind(window), int(Kind::PowerPoint));
    QCOMPARE(window.queue(Kind::PowerPoint), QStringList{slides});
}

void TestStartUp::relativePathIsMadeAbsolute()
{
    // Given relative to the working folder, which holds the history; kept relative, ffmpeg would read
    // the name as its own "concat:" syntax.
    touch(m_dir->path() + "/concat:clip.mp4");
    MainWidget window;
    Argv argv({"concat:clip.mp4"});
    StartUp::applyCommandLine(window, argv.argc(), argv.argv());
    QCOMPARE(window.queue(Kind::Video), QStringList{m_dir->path() + "/concat:clip.mp4"});
}

void TestStartUp::missingPathShowsHomePage()
{
    MainWidget window;
    Argv argv({m_dir->path() + "/gone.mp4"});
    StartUp::applyCommandLine(window, argv.argc(), argv.argv());
    QCOMPARE(shownKind(window), kHomePage);
    QVERIFY(window.isVisible());
    for (int k = 0; k < Kind::Count; ++k)
        QVERIFY(window.queue(k).isEmpty());
}

void TestStartUp::workerCount_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<int>("workers");
    QTest::newRow("0") << 0 << 3;
    QTest::newRow("6") << 6 << 3;
    QTest::newRow("8") << 8 << 4;
    QTest::newRow("10") << 10 << 5;
}

void TestStartUp::workerCount()
{
    QFETCH(int, hardware);
    QFETCH(int, workers);
    QCOMPARE(StartUp::workerCount(hardware), workers);
}

void TestStartUp::programStartsAndStaysUp()
{
    // The real program, headless: it must come up with its window and keep running until told to stop.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("HOME", m_dir->path());
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    // A working folder of its own: the window writes its history file there once it is built.
    const QString working = m_dir->path() + "/program run";
    QVERIFY(QDir().mkpath(working));
    program.setWorkingDirectory(working);
    program.start(QCoreApplication::applicationDirPath() + "/Vornix", {"--pdf"});
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo::exists(working + "/history.json") || program.state() == QProcess::NotRunning, 120000);
    QVERIFY2(program.state() == QProcess::Running, program.readAll().constData());
    QVERIFY2(!program.waitForFinished(1500), program.readAll().constData());
    program.terminate();
    QVERIFY(program.waitForFinished(60000));
}

void TestStartUp::startClearsAKilledProgramsRangesOnly()
{
    if (qEnvironmentVariableIsSet(kRangesChildTemp)) {
        ThreadPool::instance()->start(2);
        PDFCompressCore engine(qEnvironmentVariable(kRangesChildInput), m_dir->filePath("c_long.pdf"), 50);
        QSignalSpy spy(&engine, &PDFCompressCore::sig_sendProgress);
        engine.start();
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty(), kChildWithinMs);
        QVERIFY(!ProgressReport::hasFinal(spy));
        std::printf("ranges at work\n");
        std::fflush(stdout);
        // The window's thread stops here, so no merge starts: killed with its ranges in its work folder.
        QThread::sleep(kChildWithinMs / 1000);
        return;
    }
    // The temporary folder the user chose (VX_TEMP_DIR) holds folders of the user's.
    const QString shared = m_dir->filePath("chosen temp") + '/';
    const QString scratch = m_dir->filePath("ranges child");
    QVERIFY(QDir().mkpath(shared + "vx-archive/2019") && QDir().mkpath(shared + "vx-2023-taxes"));
    QVERIFY(QDir().mkpath(scratch));
    const QStringList userFiles = {"vx-archive/2019/photo.jpg", "vx-2023-taxes/return.pdf"};
    for (const QString& name : userFiles)
        touch(shared + name);
    const QString input = m_dir->filePath("long.pdf");
    PdfFactory::Options options;
    options.pages = 40;
    QVERIFY(PdfFactory::write(input, options));

    // A program compressing that PDF into the same folder, killed outright while its ranges are at work.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kRangesChildTemp, shared);
    environment.insert(kRangesChildInput, input);
    environment.insert("TMPDIR", scratch);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"startClearsAKilledProgramsRangesOnly"});
    QVERIFY(child.waitForStarted(kChildWithinMs));
    QByteArray said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += child.readAll();
            return said.contains("ranges at work") || child.state() == QProcess::NotRunning;
        },
        kChildWithinMs));
    QVERIFY2(child.state() == QProcess::Running, said.constData());
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(kChildWithinMs));
    // Its document tools may outlive it for a moment.
    QTRY_COMPARE_WITH_TIMEOUT(TestEnv::processesMentioning(shared), QStringList(), kChildWithinMs);
    const QStringList left =
        TestEnv::entriesUnder(shared).filter(QRegularExpression("^vx-\\d+-\\w{6}/pdf-\\w{6}/.+\\.pdf$"));
    QVERIFY2(!left.isEmpty(), qPrintable(TestEnv::entriesUnder(shared).join('\n')));
    for (const QString& name : QDir(shared).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QVERIFY(TestEnv::age(shared + name, 120));

    // The next start.
    const QByteArray before = qgetenv("VX_TEMP_DIR");
    qputenv("VX_TEMP_DIR", QFile::encodeName(shared));
    {
        MainWidget window;
    }
    qputenv("VX_TEMP_DIR", before);
    QCOMPARE(TestEnv::entriesUnder(shared),
             QStringList({"vx-2023-taxes", "vx-2023-taxes/return.pdf", "vx-archive", "vx-archive/2019",
                          "vx-archive/2019/photo.jpg"}));
}

void TestStartUp::noLocaleMeansUtf8Text()
{
    // As if started from a service with an empty environment.
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        qunsetenv(name);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    std::setlocale(LC_CTYPE, "C");
    const QString name = QString::fromUtf8("视频 1.mp4");
    QCOMPARE(QString::fromLocal8Bit(name.toLocal8Bit()) == name, false);

    StartUp::ensureTextLocale();
    QCOMPARE(QByteArray(nl_langinfo(CODESET)), QByteArray("UTF-8"));
    QCOMPARE(name.toLocal8Bit(), name.toUtf8());
    qputenv("LC_ALL", "C.UTF-8");
}

void TestStartUp::chosenLocaleIsKept()
{
    // A GBK user keeps GBK: the conversion is the locale's, not ours.
    qputenv("LC_ALL", "zh_CN.GBK");
    QTextCodec::setCodecForLocale(nullptr);
    StartUp::ensureTextLocale();
    QCOMPARE(QByteArray(nl_langinfo(CODESET)), QByteArray("GBK"));
    qputenv("LC_ALL", "C.UTF-8");
    std::setlocale(LC_CTYPE, "");
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
