#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "HostilePdf.h"
#include "OddNames.h"
#include "PDFCompressCore.h"
#include "PDFCompressTask.h"
#include "PDFSpliter.h"
#include "PathManager.h"
#include "PdfCarriedFeatures.h"
#include "PdfFactory.h"
#include "ProgressReport.h"
#include "SampleFiles.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "ToolCommand.h"

namespace
{
// Set in the copy of this program that runs without a document tool beside it.
const char* const kNoToolChild = "VX_PDF_TEST_NO_TOOL";
// Set in the copy of this program whose document tool makes every merge larger than its input; it
// holds the real tool's path.
const char* const kGrowingToolChild = "VX_PDF_TEST_GROWING_TOOL";

// What qpdf says of the file at path when asked for `arguments` (run on the file).
QByteArray qpdfSays(const QString& path, const QStringList& arguments)
{
    QByteArray said;
    return TestEnv::runTool("qpdf", arguments + QStringList(path), &said) == 0 ? said : QByteArray();
}

// The editable document that a hybrid PDF carries: the stream its trailer names under
// /AdditionalStreams, decoded; empty for none.
QByteArray editableDocumentOf(const QString& path)
{
    const QRegularExpressionMatch named =
        QRegularExpression("/AdditionalStreams \\[ /\\S+ (\\d+) 0 R")
            .match(QString::fromLatin1(qpdfSays(path, {"--show-object=trailer"})));
    if (!named.hasMatch())
        return QByteArray();
    return qpdfSays(path, {"--show-object=" + named.captured(1), "--filtered-stream-data"});
}
} // namespace

// The PDF engine end to end: page ranges on the worker pool, the document tool, the merge.
class TestPdfCompressCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void rangeMaths_data();
    void rangeMaths();
    void compressesOnePage();
    void compressesThirtyPagesInParallel();
    void failsOnce_data();
    void failsOnce();
    void staleOutputDoesNotCountWhenMergeWritesNothing();
    void sameNamedInputsKeepTheirOwnParts();
    void namesPartsByTheirIndex();
    void failedRangeEndsTheJob();
    void hostileTreesEndAtOnce_data();
    void hostileTreesEndAtOnce();
    void keepsTheWholeDocument_data();
    void keepsTheWholeDocument();
    void keepsLayersNotesAndRestrictions_data();
    void keepsLayersNotesAndRestrictions();
    void entriesNamingMissingObjectsAreLeftOut_data();
    void entriesNamingMissingObjectsAreLeftOut();
    void pdfAResultClaimsOnlyWhatItIs_data();
    void pdfAResultClaimsOnlyWhatItIs();
    void hybridKeepsItsEditableDocument();
    void signedDocumentIsKeptAsItIs_data();
    void signedDocumentIsKeptAsItIs();
    void resultNeverLargerThanInput();
    void spliterCutsOneRange();
    void hungToolIsStopped();
    void oddNames_data();
    void oddNames();

private:
    QString makePdf(const QString& relativePath, int pages, bool bookmarks = false);
    // Runs one engine to its final report; returns every report it sent.
    QList<ProgressReport> runEngine(const QString& input, const QString& output, int quality,
                                    int timeoutMs = 60000);

    QTemporaryDir m_dir;
};

void TestPdfCompressCore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    QVERIFY(QDir().mkpath(g_AppDataPath));
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/data").toLocal8Bit());
    // LibreOffice, started by the tests to make inputs, writes into the home folder.
    qputenv("HOME", (m_dir.path() + "/home").toLocal8Bit());
    ThreadPool::instance()->start(4);
    // Made up front, as at the first PDF job, so that its folder lines stay out of the tests' logs.
    QVERIFY(QFileInfo(PathManager::instance()->tempDir()).isDir());
}

void TestPdfCompressCore::cleanupTestCase()
{
    ThreadPool::instance()->stop();
}

void TestPdfCompressCore::init()
{
    QFile::remove(Tool::logFilePath());
}

QString TestPdfCompressCore::makePdf(const QString& relativePath, int pages, bool bookmarks)
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    PdfFactory::Options options;
    options.pages = pages;
    options.content = PdfFactory::Content::Mixed;
    options.imageWidth = 400;
    options.title = QFileInfo(path).baseName();
    options.bookmarkEvery = bookmarks ? 10 : 0;
    return PdfFactory::write(path, options) ? path : QString();
}

QList<ProgressReport> TestPdfCompressCore::runEngine(const QString& input, const QString& output, int quality,
                                                     int timeoutMs)
{
    PDFCompressCore engine(input, output, quality, nullptr);
    QSignalSpy spy(&engine, &PDFCompressCore::sig_sendProgress);
    engine.start();
    auto finished = [&spy] { return !spy.isEmpty() && ProgressReport::isFinal(spy.last()); };
    QElapsedTimer clock;
    clock.start();
    while (!finished() && clock.elapsed() < timeoutMs)
        spy.wait(200);
    // Nothing more may follow the final report.
    QTest::qWait(100);
    return ProgressReport::all(spy);
}

void TestPdfCompressCore::rangeMaths_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("perTask");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("lastFirst");
    QTest::addColumn<int>("lastLast");

    QTest::newRow("1") << 1 << 5 << 1 << 1 << 1;
    QTest::newRow("99") << 99 << 5 << 20 << 96 << 99;
    QTest::newRow("100") << 100 << 10 << 10 << 91 << 100;
    QTest::newRow("230") << 230 << 15 << 16 << 226 << 230;
    QTest::newRow("301") << 301 << 20 << 16 << 301 << 301;
    QTest::newRow("1000") << 1000 << 20 << 50 << 981 << 1000;
}

void TestPdfCompressCore::rangeMaths()
{
    QFETCH(int, pages);
    QFETCH(int, perTask);
    QFETCH(int, tasks);
    QFETCH(int, lastFirst);
    QFETCH(int, lastLast);

    QCOMPARE(PDFCompressCore::pagesPerTask(pages), perTask);
    QCOMPARE(PDFCompressCore::taskCount(pages, perTask), tasks);
    QCOMPARE(PDFCompressCore::rangeOf(tasks - 1, perTask, pages), qMakePair(lastFirst, lastLast));
    // The ranges follow each other without gap or overlap.
    int next = 1;
    for (int i = 0; i < tasks; ++i) {
        const QPair<int, int> range = PDFCompressCore::rangeOf(i, perTask, pages);
        QCOMPARE(range.first, next);
        QVERIFY(range.second >= range.first);
        next = range.second + 1;
    }
    QCOMPARE(next, pages + 1);
}

void TestPdfCompressCore::compressesOnePage()
{
    const QString input = makePdf("one/single.pdf", 1);
    QVERIFY(!input.isEmpty());
    const QString output = m_dir.filePath("one/c_single.pdf");

    const QList<ProgressReport> reports = runEngine(input, output, 50);
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports[0].progress, 0.9f);
    QCOMPARE(reports[0].stat, false);
    QCOMPARE(reports[0].filePath, QString());
    QCOMPARE(reports[1].progress, 1.0f);
    QCOMPARE(reports[1].stat, true);
    QCOMPARE(reports[1].filePath, output);
    QCOMPARE(reports[1].rate, float(double(QFileInfo(output).size()) / double(QFileInfo(input).size())));
    QCOMPARE(PdfFactory::pageCount(output), 1);

    // Two log lines for the one range, the commands as the tool is called.
    const QString tool = PathManager::instance()->converterPath();
    QVERIFY(tool.endsWith("/docTool/Trellant35"));
    const QStringList log = TestEnv::logLines();
    QCOMPARE(log.size(), 2);
    QVERIFY2(log[0].startsWith(
                 QString("pdf split:\"%1\" -type=3  -subtype=3 -input=\"%2\" -output=\"").arg(tool, input)),
             qPrintable(log[0]));
    QVERIFY2(log[0].endsWith("/0s.pdf\" -pageRange=1-1"), qPrintable(log[0]));
    QVERIFY2(
        log[1].startsWith(QString("start compress %1:\"%2\" -type=3 -subtype=2 -input=\"").arg(input, tool)),
        qPrintable(log[1]));
    QVERIFY2(log[1].endsWith("/0.pdf\" -quality=50"), qPrintable(log[1]));
}

void TestPdfCompressCore::compressesThirtyPagesInParallel()
{
    const QString input = makePdf("thirty/book.pdf", 30, true);
    QVERIFY(!input.isEmpty());
    const QString output = m_dir.filePath("thirty/c_book.pdf");

    const QList<ProgressReport> reports = runEngine(input, output, 30);
    QCOMPARE(reports.size(), 7);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(reports[i].progress, float(float(i + 1) / 6.0f * 0.9));
        QCOMPARE(reports[i].stat, false);
        QCOMPARE(reports[i].filePath, QString());
        QCOMPARE(reports[i].rate, 0.0f);
    }
    QCOMPARE(reports[6].progress, 1.0f);
    QCOMPARE(reports[6].stat, true);
    QCOMPARE(reports[6].filePath, output);
    QVERIFY(reports[6].rate > 0.0f && reports[6].rate < 1.0f);
    QCOMPARE(PdfFactory::pageCount(output), 30);
    QCOMPARE(PdfFactory::title(output), QString("book"));
    QCOMPARE(PdfFactory::bookmarks(output), PdfFactory::bookmarks(input));

    const QStringList log = TestEnv::logLines();
    QCOMPARE(log.filter(QRegularExpression("^pdf split:")).size(), 6);
    QCOMPARE(log.filter(QRegularExpression("^start compress ")).size(), 6);
    QVERIFY(log.filter("-pageRange=26-30").size() == 1);
}

void TestPdfCompressCore::failsOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("not a pdf") << "text"
                               << "cannot open the document";
    QTest::newRow("missing") << "missing"
                             << "cannot open the document";
    QTest::newRow("locked") << "locked"
                            << "the document is locked by a password";
    QTest::newRow("no pages") << "empty"
                              << "the document has no pages";
}

void TestPdfCompressCore::failsOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    const QString input = m_dir.filePath("failing/" + kind + ".pdf");
    QDir().mkpath(QFileInfo(input).path());
    if (kind == "text") {
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("a letter, not a PDF\n");
    } else if (kind == "locked") {
        PdfFactory::Options options;
        options.pages = 2;
        options.userPassword = "secret";
        QVERIFY(PdfFactory::write(input, options));
    } else if (kind == "empty") {
        QVERIFY(PdfFactory::writeBlank(input, {}));
        QCOMPARE(PdfFactory::pageCount(input), 0);
    }

    const QList<ProgressReport> reports = runEngine(input, m_dir.filePath("failing/c_out.pdf"), 50, 5000);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports[0].progress, -1.0f);
    QCOMPARE(reports[0].stat, false);
    QCOMPARE(reports[0].filePath, QString());
    QCOMPARE(reports[0].rate, 0.0f);
    QCOMPARE(TestEnv::logLines(), QStringList({QString("pdf compress fail %1: %2").arg(input, reason)}));
}

void TestPdfCompressCore::staleOutputDoesNotCountWhenMergeWritesNothing()
{
    const QString input = makePdf("stale/report.pdf", 3);
    QVERIFY(!input.isEmpty());
    // An output in a folder that does not exist: the ranges and the merge succeed, the result cannot
    // take the output's name.
    const QString output = m_dir.filePath("stale/missing folder/c_report.pdf");
    QList<ProgressReport> reports = runEngine(input, output, 50);
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports[0].progress, 0.9f);
    QCOMPARE(reports[1].progress, -1.0f);
    QCOMPARE(reports[1].filePath, QString());
    QVERIFY(!QFileInfo::exists(output));
    const QString failure = TestEnv::logLines().last();
    QVERIFY2(failure.startsWith(QString("pdf compress fail %1: cannot move ").arg(input)) &&
                 failure.endsWith(" to " + output),
             qPrintable(failure));

    // A file that an earlier run left at the output is no success, and a merge that writes nothing
    // leaves it as it was.
    QFile::remove(Tool::logFilePath());
    PDFCompressCore engine(input, m_dir.filePath("stale/c_report.pdf"), 50, nullptr);
    QFile stale(m_dir.filePath("stale/c_report.pdf"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("left over from yesterday");
    stale.close();
    QSignalSpy spy(&engine, &PDFCompressCore::sig_sendProgress);
    engine.merge(); // no parts at all: the tool refuses
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 30000);
    QCOMPARE(spy[0][0].toFloat(), -1.0f);
    QVERIFY(stale.open(QIODevice::ReadOnly));
    QCOMPARE(stale.readAll(), QByteArray("left over from yesterday"));
    QCOMPARE(
        TestEnv::logLines(),
        QStringList(
            {QString("pdf compress fail %1: the merge failed (exit code 1) no -input= given").arg(input)}));
}

void TestPdfCompressCore::sameNamedInputsKeepTheirOwnParts()
{
    const QString first = makePdf("twins a/report.pdf", 7);
    const QString second = makePdf("twins b/report.pdf", 12);
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    const QString firstOutput = m_dir.filePath("twins a/c_report.pdf");
    const QString secondOutput = m_dir.filePath("twins b/c_report.pdf");

    PDFCompressCore a(first, firstOutput, 40, nullptr);
    PDFCompressCore b(second, secondOutput, 40, nullptr);
    QSignalSpy spyA(&a, &PDFCompressCore::sig_sendProgress);
    QSignalSpy spyB(&b, &PDFCompressCore::sig_sendProgress);
    a.start();
    b.start();
    // The pages are counted off the window's thread; the ranges follow.
    QTRY_VERIFY_WITH_TIMEOUT(!a.partPaths().isEmpty() && !b.partPaths().isEmpty(), 30000);
    QVERIFY(a.workDir() != b.workDir());
    QVERIFY(a.workDir().startsWith(PathManager::instance()->tempDir() + '/'));
    QCOMPARE(QFileInfo(a.partPaths().first()).fileName(), QString("0.pdf"));
    QCOMPARE(QFileInfo(b.partPaths().first()).fileName(), QString("0.pdf"));

    QTRY_VERIFY_WITH_TIMEOUT(!spyA.isEmpty() && spyA.last()[1].toBool(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!spyB.isEmpty() && spyB.last()[1].toBool(), 60000);
    QCOMPARE(spyA.size(), 3);
    QCOMPARE(spyB.size(), 4);
    QCOMPARE(PdfFactory::pageCount(firstOutput), 7);
    QCOMPARE(PdfFactory::pageCount(secondOutput), 12);
}

void TestPdfCompressCore::namesPartsByTheirIndex()
{
    const QString input = makePdf("dots/a.b.pdf", 6);
    QVERIFY(!input.isEmpty());
    PDFCompressCore engine(input, m_dir.filePath("dots/c_a.b.pdf"), 50, nullptr);
    QSignalSpy spy(&engine, &PDFCompressCore::sig_sendProgress);
    engine.start();
    QTRY_VERIFY_WITH_TIMEOUT(!engine.partPaths().isEmpty(), 30000);
    QCOMPARE(engine.partPaths(), QStringList({engine.workDir() + "/0.pdf", engine.workDir() + "/1.pdf"}));
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last()[1].toBool(), 60000);
    QCOMPARE(PdfFactory::pageCount(m_dir.filePath("dots/c_a.b.pdf")), 6);
    // The split and part files went with the work folder when the job ended.
    QVERIFY(!QFileInfo::exists(engine.workDir()));
}

void TestPdfCompressCore::failedRangeEndsTheJob()
{
    if (qEnvironmentVariableIsSet(kNoToolChild)) {
        // This copy of the program has no document tool beside it: no range can be cut. The first
        // range that fails ends the job with its own reason; the others stop and no merge runs.
        const QString input = makePdf("notool/lonely.pdf", 12);
        QVERIFY(!input.isEmpty());
        const QList<ProgressReport> reports = runEngine(input, m_dir.filePath("notool/c_lonely.pdf"), 50);
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].progress, -1.0f);
        QCOMPARE(reports[0].stat, false);
        const QStringList log = TestEnv::logLines();
        QCOMPARE(log.filter(QRegularExpression("^pdf compress fail ")).size(), 1);
        QVERIFY2(
            QRegularExpression(QString("^pdf compress fail %1: pages (1-5|6-10|11-12): the document tool "
                                       "could not start: .+$")
                                   .arg(QRegularExpression::escape(input)))
                .match(log.last())
                .hasMatch(),
            qPrintable(log.join('\n')));
        QCOMPARE(log.filter(QRegularExpression("^start compress ")).size(), 0);
        QVERIFY(!QFileInfo::exists(m_dir.filePath("notool/c_lonely.pdf")));
        return;
    }
    const QString folder = m_dir.filePath("bin without tool");
    QVERIFY(QDir().mkpath(folder));
    const QString copy = folder + "/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kNoToolChild, "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(copy, {"failedRangeEndsTheJob"});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("PASS   : TestPdfCompressCore::failedRangeEndsTheJob()"), output.constData());
}

void TestPdfCompressCore::hostileTreesEndAtOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("leftOut");
    QTest::addColumn<QStringList>("form");

    QTest::newRow("page tree claims two billion pages")
        << "claims" << 3 << "a page count of 2000000000 where the page tree holds 3" << QStringList();
    QTest::newRow("page tree lists its root again")
        << "page loop" << 7 << "a loop in the page tree" << QStringList();
    // Each field once, under the first parent that leads to it: a, its kid b with the widget, b's
    // kid c, which has no widget of its own.
    QTest::newRow("form fields list each other as kids")
        << "form loop" << 1 << "a loop in the form field tree"
        << QStringList({"NeedAppearances ", "a.b=x (/Tx) 1"});
}

void TestPdfCompressCore::hostileTreesEndAtOnce()
{
    QFETCH(QString, kind);
    QFETCH(int, pages);
    QFETCH(QString, leftOut);
    QFETCH(QStringList, form);

    const QString input = m_dir.filePath(QString("hostile %1/trees.pdf").arg(kind));
    QVERIFY(QDir().mkpath(QFileInfo(input).path()));
    if (kind == "claims")
        QVERIFY(HostilePdf::writeClaimingPages(input, pages, 2000000000));
    else if (kind == "page loop")
        QVERIFY(HostilePdf::writePageTreeLoop(input, pages));
    else
        QVERIFY(HostilePdf::writeFormWithKidsLoop(input));
    const QString output = m_dir.filePath(QString("hostile %1/c_trees.pdf").arg(kind));

    const QList<ProgressReport> reports = runEngine(input, output, 30);
    QVERIFY(!reports.isEmpty());
    QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
    QCOMPARE(reports.size(), PDFCompressCore::taskCount(pages, PDFCompressCore::pagesPerTask(pages)) + 1);
    QCOMPARE(reports.last().filePath, output);
    QVERIFY(reports.last().rate < 1.0f);
    QCOMPARE(PdfFactory::pageCount(output), pages);
    QCOMPARE(PdfCarriedFeatures::describe(output, "form"),
             form.isEmpty() ? QStringList({"NeedAppearances "}) : form);
    // What the document tool left out, named once for the whole job, before the final report.
    const QStringList log = TestEnv::logLines();
    QCOMPARE(log.filter(QRegularExpression("^pdf left out ")),
             QStringList({QString("pdf left out %1: %2").arg(input, leftOut)}));
    QCOMPARE(log.last(), QString("pdf left out %1: %2").arg(input, leftOut));
}

void TestPdfCompressCore::keepsTheWholeDocument_data()
{
    QTest::addColumn<int>("quality");
    QTest::newRow("quality 10") << 10;
    QTest::newRow("quality 90") << 90;
}

void TestPdfCompressCore::keepsTheWholeDocument()
{
    QFETCH(int, quality);
    VX_REQUIRE_TOOL("qpdf");
    // 23 pages: ranges of 5, chapters of 7, so that chapters, links and named destinations cross
    // every range boundary.
    const QString input = m_dir.filePath(QString("whole %1/manual.pdf").arg(quality));
    QVERIFY(QDir().mkpath(QFileInfo(input).path()));
    QVERIFY(PdfFactory::writeManual(input, 23, 7));
    QVERIFY(PdfFactory::objectsInStreams(input) > 0);
    const QString output = m_dir.filePath(QString("whole %1/c_manual.pdf").arg(quality));

    const QList<ProgressReport> reports = runEngine(input, output, quality);
    QCOMPARE(reports.size(), 6);
    QCOMPARE(reports.last().stat, true);
    const double inputSize = double(QFileInfo(input).size());
    const double outputSize = double(QFileInfo(output).size());
    // Rebuilt from the compressed ranges, not a copy of the input.
    QVERIFY2(outputSize < inputSize, qPrintable(QString("%1 >= %2").arg(outputSize).arg(inputSize)));
    QCOMPARE(reports.last().rate, float(outputSize / inputSize));
    QCOMPARE(PdfFactory::pageCount(output), 23);
    QCOMPARE(PdfFactory::outlineTree(output), PdfFactory::outlineTree(input));
    QCOMPARE(PdfFactory::outlineTree(output).size(), 18);
    QCOMPARE(PdfFactory::linkTargets(output), PdfFactory::linkTargets(input));
    QCOMPARE(PdfFactory::namedDestinations(output), PdfFactory::namedDestinations(input));
    QCOMPARE(PdfFactory::pageLabels(output), PdfFactory::pageLabels(input));
    QCOMPARE(PdfFactory::documentInfo(output), PdfFactory::documentInfo(input));
    QCOMPARE(PdfFactory::xmpMetadata(output), PdfFactory::xmpMetadata(input));
    QCOMPARE(PdfFactory::openView(output), PdfFactory::openView(input));
    QVERIFY(PdfFactory::objectsInStreams(output) > 0);
    // A sound file loses nothing to the bounds of a hostile one.
    QCOMPARE(TestEnv::logLines().filter(QRegularExpression("^pdf left out ")), QStringList());
}

void TestPdfCompressCore::keepsLayersNotesAndRestrictions_data()
{
    QTest::addColumn<QString>("feature");
    QTest::newRow("layer off by default") << "layers";
    QTest::newRow("12 notes with popups") << "notes";
    QTest::newRow("owner password forbids printing") << "owner";
    QTest::newRow("filled form") << "form";
    QTest::newRow("attached files") << "attachments";
    QTest::newRow("tagged structure") << "tagged";
}

void TestPdfCompressCore::keepsLayersNotesAndRestrictions()
{
    QFETCH(QString, feature);
    VX_REQUIRE_TOOL("qpdf");
    // 12 pages: three ranges, whose layers, notes and encryption must come back as one.
    const QString input = m_dir.filePath(QString("carried %1/exam.pdf").arg(feature));
    QVERIFY(QDir().mkpath(QFileInfo(input).path()));
    QVERIFY(PdfFactory::write(input, PdfFactory::carrying(feature)));
    const QString output = m_dir.filePath(QString("carried %1/c_exam.pdf").arg(feature));

    const QList<ProgressReport> reports = runEngine(input, output, 30);
    QCOMPARE(reports.size(), 4);
    QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
    // Rebuilt from the compressed ranges, not a copy of the input.
    QVERIFY(QFileInfo(output).size() < QFileInfo(input).size());
    QCOMPARE(PdfFactory::pageCount(output), 12);
    QCOMPARE(PdfFactory::layers(output), PdfFactory::layers(input));
    QCOMPARE(PdfFactory::layers(output).filter(" off: 1 2 3 4 5 6 7 8 9 10 11 12").size(),
             feature == "layers" ? 1 : 0);
    QCOMPARE(PdfFactory::notesWithPopups(output), feature == "notes" ? 12 : 0);
    QCOMPARE(PdfCarriedFeatures::describe(output, feature), PdfCarriedFeatures::describe(input, feature));
    QCOMPARE(PdfCarriedFeatures::describe(output, feature).isEmpty(),
             PdfFactory::carrying(feature).carried.isEmpty());
    QByteArray inputEncryption;
    QByteArray outputEncryption;
    QCOMPARE(TestEnv::runTool("qpdf", {"--show-encryption", input}, &inputEncryption), 0);
    QCOMPARE(TestEnv::runTool("qpdf", {"--show-encryption", output}, &outputEncryption), 0);
    QCOMPARE(outputEncryption, inputEncryption);
    QCOMPARE(outputEncryption.contains("print high resolution: not allowed"), feature == "owner");
    QCOMPARE(TestEnv::logLines().filter(QRegularExpression("^pdf left out ")), QStringList());
}

void TestPdfCompressCore::entriesNamingMissingObjectsAreLeftOut_data()
{
    QTest::addColumn<QString>("feature");
    QTest::addColumn<QString>("place");
    QTest::newRow("attachment") << "attachments"
                                << "attachment";
    QTest::newRow("script") << "tagged"
                            << "script";
}

void TestPdfCompressCore::entriesNamingMissingObjectsAreLeftOut()
{
    QFETCH(QString, feature);
    QFETCH(QString, place);
    // An attached file or a script that refers to an object the file does not hold: viewers read it
    // as null and open the file.
    const QString input = m_dir.filePath(QString("lost %1/exam.pdf").arg(place));
    QVERIFY(QDir().mkpath(QFileInfo(input).path()));
    QVERIFY(PdfFactory::write(input, PdfFactory::carrying(feature)));
    const QStringList carried = PdfCarriedFeatures::describe(input, feature);
    QVERIFY(!carried.isEmpty());
    QVERIFY(PdfCarriedFeatures::addMissingReference(input, place));
    const QString output = m_dir.filePath(QString("lost %1/c_exam.pdf").arg(place));

    const QList<ProgressReport> reports = runEngine(input, output, 30);
    QCOMPARE(reports.size(), 4);
    QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
    QCOMPARE(reports.last().progress, 1.0f);
    QCOMPARE(reports.last().filePath, output);
    QVERIFY(reports.last().rate < 1.0f);
    QCOMPARE(PdfFactory::pageCount(output), 12);
    QCOMPARE(PdfCarriedFeatures::describe(output, feature), carried);
}

void TestPdfCompressCore::pdfAResultClaimsOnlyWhatItIs_data()
{
    QTest::addColumn<int>("part");
    QTest::newRow("PDF/A-1") << 1;
    QTest::newRow("PDF/A-2") << 2;
}

void TestPdfCompressCore::pdfAResultClaimsOnlyWhatItIs()
{
    QFETCH(int, part);
    VX_REQUIRE_TOOL("soffice");
    VX_REQUIRE_TOOL("qpdf");
    const QString folder = m_dir.filePath(QString("pdfa %1").arg(part));
    const QString input = folder + "/archive.pdf";
    QVERIFY(SampleFiles::makeWriterPdf(
        input, folder, 7, QString("{\"SelectPdfVersion\":{\"type\":\"long\",\"value\":\"%1\"}}").arg(part)));
    const QByteArray claim = QString("<pdfaid:part>%1</pdfaid:part>").arg(part).toUtf8();
    QVERIFY(PdfFactory::xmpMetadata(input).contains(claim));
    const QString output = folder + "/c_archive.pdf";

    const QList<ProgressReport> reports = runEngine(input, output, 30);
    QCOMPARE(reports.size(), 3);
    QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
    QCOMPARE(reports.last().filePath, output);
    QVERIFY(reports.last().rate < 1.0f);
    QCOMPARE(PdfFactory::pageCount(output), 7);
    // The claim is kept, and true: PDF/A-1 is PDF 1.4, which knows neither object streams nor
    // cross-reference streams. Later parts may hold them.
    QCOMPARE(PdfFactory::xmpMetadata(output), PdfFactory::xmpMetadata(input));
    const bool packed = part > 1;
    QCOMPARE(PdfFactory::objectsInStreams(output) > 0, packed);
    QCOMPARE(qpdfSays(output, {"--show-object=trailer"}).contains("/XRef"), packed);
    QCOMPARE(qpdfSays(output, {"--show-xref"}).contains(": compressed;"), packed);
    if (part == 1) {
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(9), QByteArray("%PDF-1.4\n"));
    }
}

void TestPdfCompressCore::hybridKeepsItsEditableDocument()
{
    VX_REQUIRE_TOOL("soffice");
    VX_REQUIRE_TOOL("qpdf");
    // A hybrid PDF: LibreOffice puts the text document it was exported from into the PDF.
    const QString folder = m_dir.filePath("hybrid");
    const QString input = folder + "/letter.pdf";
    QVERIFY(SampleFiles::makeWriterPdf(input, folder, 7,
                                       "{\"IsAddStream\":{\"type\":\"boolean\",\"value\":\"true\"}}"));
    const QByteArray editable = editableDocumentOf(input);
    QVERIFY(editable.startsWith("PK"));
    const QString output = folder + "/c_letter.pdf";

    const QList<ProgressReport> reports = runEngine(input, output, 30);
    QCOMPARE(reports.size(), 3);
    QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
    QCOMPARE(reports.last().filePath, output);
    QVERIFY(reports.last().rate < 1.0f);
    QCOMPARE(PdfFactory::pageCount(output), 7);
    QCOMPARE(editableDocumentOf(output), editable);
    // LibreOffice still opens it as the text document (a drawing could not be saved as text).
    const QString profile = QUrl::fromLocalFile(folder + "/lo-profile").toString(QUrl::FullyEncoded);
    QByteArray said;
    QCOMPARE(TestEnv::runTool("soffice",
                              {"-env:UserInstallation=" + profile, "--headless", "--norestore",
                               "--convert-to", "txt:Text", "--outdir", folder + "/opened", output},
                              &said),
             0);
    QFile text(folder + "/opened/c_letter.txt");
    QVERIFY2(text.open(QIODevice::ReadOnly), said.constData());
    const QByteArray words = text.readAll();
    QVERIFY2(words.contains("Page 1 of 7") && words.contains("Page 7 of 7"), words.constData());

    // Merged with another document, the result is neither of them: it carries no editable document.
    const QString other = makePdf("hybrid/other.pdf", 2);
    QVERIFY(!other.isEmpty());
    const QString merged = folder + "/merged.pdf";
    QCOMPARE(
        TestEnv::runTool(PathManager::instance()->converterPath(),
                         {"-type=3", "-subtype=1", "-input=" + output + '*' + other, "-output=" + merged}),
        0);
    QCOMPARE(PdfFactory::pageCount(merged), 9);
    QCOMPARE(editableDocumentOf(merged), QByteArray());
}

void TestPdfCompressCore::signedDocumentIsKeptAsItIs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("kept");
    QTest::newRow("signed") << "signed" << true;
    QTest::newRow("append only") << "append only" << true;
    QTest::newRow("unsigned field") << "unsigned" << false;
}

void TestPdfCompressCore::signedDocumentIsKeptAsItIs()
{
    QFETCH(QString, kind);
    QFETCH(bool, kept);
    VX_REQUIRE_TOOL("openssl");
    VX_REQUIRE_TOOL("pdfsig");
    const QString folder = m_dir.filePath("signature " + kind);
    QVERIFY(QDir().mkpath(folder));
    const QString input = folder + "/contract.pdf";
    PdfFactory::Options options;
    options.pages = 7;
    options.content = PdfFactory::Content::Mixed;
    options.imageWidth = 800;
    QVERIFY(PdfFactory::write(input, options));
    QVERIFY(PdfCarriedFeatures::addSignature(input, kind, folder));
    QByteArray said;
    TestEnv::runTool("pdfsig", {input}, &said);
    QCOMPARE(said.contains("Signature is Valid."), kind == "signed");
    QFile in(input);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray signedBytes = in.readAll();
    const QString output = folder + "/c_contract.pdf";

    const QList<ProgressReport> reports = runEngine(input, output, 30);
    const QString keptLine =
        QString("pdf compress %1: kept as it is, rewriting would break its signature").arg(input);
    if (!kept) {
        // A field waiting for a signature holds none: the document is compressed.
        QCOMPARE(reports.size(), 3);
        QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
        QVERIFY(reports.last().rate < 1.0f);
        QCOMPARE(PdfFactory::pageCount(output), 7);
        QVERIFY(!TestEnv::logLines().contains(keptLine));
        return;
    }
    // Any rewrite would break the signature: the document comes back as it is, as done, no range cut.
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports[0].progress, 1.0f);
    QCOMPARE(reports[0].stat, true);
    QCOMPARE(reports[0].filePath, output);
    QCOMPARE(reports[0].rate, 1.0f);
    QFile out(output);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), signedBytes);
    QCOMPARE(TestEnv::logLines(), QStringList({keptLine}));
    said.clear();
    TestEnv::runTool("pdfsig", {output}, &said);
    QCOMPARE(said.contains("Signature is Valid."), kind == "signed");
}

void TestPdfCompressCore::resultNeverLargerThanInput()
{
    if (qEnvironmentVariableIsSet(kGrowingToolChild)) {
        const QString input = makePdf("growing/report.pdf", 7);
        QVERIFY(!input.isEmpty());
        const QString output = m_dir.filePath("growing/c_report.pdf");
        const QList<ProgressReport> reports = runEngine(input, output, 50);
        QCOMPARE(reports.size(), 3);
        QCOMPARE(reports[2].progress, 1.0f);
        QCOMPARE(reports[2].stat, true);
        QCOMPARE(reports[2].filePath, output);
        QCOMPARE(reports[2].rate, 1.0f);
        QFile in(input);
        QFile out(output);
        QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), in.readAll());
        QVERIFY(!QFileInfo::exists(output + ".copy"));
        QCOMPARE(TestEnv::logLines().last(),
                 QString("pdf compress %1: the result is not smaller, kept a copy").arg(input));
        return;
    }
    // A copy of this program beside a document tool that pads every merge it writes with an attachment.
    const QString folder = m_dir.filePath("bin with growing tool");
    QVERIFY(QDir().mkpath(folder + "/docTool"));
    const QString copy = folder + "/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(!TestEnv::writeScript(
                 folder + "/docTool/Trellant35",
                 "\"$VX_PDF_TEST_GROWING_TOOL\" \"$@\" || exit $?\n"
                 "case \" $* \" in *\" -subtype=1 \"*)\n"
                 "  for a in \"$@\"; do case \"$a\" in -output=*) out=\"${a#-output=}\";; esac; done\n"
                 "  head -c 3000000 /dev/urandom > \"$out.pad\"\n"
                 "  qpdf \"$out\" --add-attachment \"$out.pad\" -- \"$out.grown\" && mv \"$out.grown\" "
                 "\"$out\";;\n"
                 "esac")
                 .isEmpty());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kGrowingToolChild, PathManager::instance()->converterPath());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(copy, {"resultNeverLargerThanInput"});
    QVERIFY(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    QVERIFY2(child.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("PASS   : TestPdfCompressCore::resultNeverLargerThanInput()"),
             output.constData());
}

void TestPdfCompressCore::spliterCutsOneRange()
{
    const QString input = makePdf("spliter/long.pdf", 9);
    QVERIFY(!input.isEmpty());
    const QString output = m_dir.filePath("spliter/long_middle.pdf");
    auto spliter = std::make_shared<PDFSpliter>(nullptr);
    QSignalSpy spy(spliter.get(), &PDFSpliter::signalFinished);
    spliter->setTask(input, output, 3, 7);
    ThreadPool::instance()->pushTask(spliter);
    QVERIFY(spy.wait(60000));
    QCOMPARE(PdfFactory::pageCount(output), 5);
    QCOMPARE(TestEnv::logLines(),
             QStringList(
                 {QString("pdf split:\"%1\" -type=3  -subtype=3 -input=\"%2\" -output=\"%3\" -pageRange=3-7")
                      .arg(PathManager::instance()->converterPath(), input, output)}));
}

void TestPdfCompressCore::hungToolIsStopped()
{
    VX_REQUIRE_TOOL("sleep");
    const ToolCommand hung(TestEnv::findTool("sleep"), {"60"}, "sleep 60");
    QElapsedTimer clock;
    clock.start();
    BlockingToolRun run;
    QVERIFY(!PDFCompressTask::runBlocking(run, hung, "/tmp/hung.pdf", 300));
    QVERIFY(clock.elapsed() < 30000); // the tool would sleep for a minute
    QCOMPARE(TestEnv::logLines(), QStringList({"pdf tool fail /tmp/hung.pdf: no end after 300 ms"}));

    // The bound grows with the range: a large range is not cut short.
    QVERIFY(PDFCompressTask::stepTimeoutMs(20) > PDFCompressTask::stepTimeoutMs(1));
    QVERIFY(PDFCompressTask::stepTimeoutMs(1) >= 60000);
}

void TestPdfCompressCore::oddNames_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : OddNames::baseNames())
        QTest::newRow(qPrintable(OddNames::tag(name))) << name + ".pdf";
    QTest::newRow("two ranges: a*b.c") << "a*b.c.pdf";
}

void TestPdfCompressCore::oddNames()
{
    QFETCH(QString, name);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(OddNames::makeNeighbours(folder.path()));
    const int pages = name.startsWith("a*b.c") ? 7 : 3;
    PdfFactory::Options options;
    options.pages = pages;
    options.content = PdfFactory::Content::Mixed;
    options.imageWidth = 400;
    QVERIFY(PdfFactory::write(folder.filePath(name), options));
    const QMap<QString, QByteArray> before = OddNames::contentsOf(folder.path());

    const QList<ProgressReport> reports = runEngine(folder.filePath(name), folder.filePath("c_" + name), 50);
    QVERIFY(!reports.isEmpty());
    QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
    const QString differences =
        OddNames::differences(before, OddNames::contentsOf(folder.path()), "c_" + name);
    QVERIFY2(differences.isEmpty(), qPrintable(differences));
    QCOMPARE(PdfFactory::pageCount(folder.filePath("c_" + name)), pages);
}

QTEST_MAIN(TestPdfCompressCore)
#include "tst_pdfcompresscore.moc"
