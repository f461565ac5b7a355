// The document engine with the real compression and document tools, and with small stand-in
// tools (shell scripts) where a test needs a slow, failing or missing tool.
#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "DocCompressCore.h"
#include "DocConvert.h"
#include "OddNames.h"
#include "OoxmlPackage.h"
#include "PathManager.h"
#include "PdfFactory.h"
#include "PlatformConstants.h"
#include "ProgressReport.h"
#include "SampleFiles.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"

namespace
{
// The timed reports from `start`: 0.1 added in double precision and narrowed to float each time.
QList<float> timedSteps(float start, int count)
{
    QList<float> steps;
    float progress = start;
    for (int i = 0; i < count; ++i) {
        progress = float(double(progress) + 0.1);
        steps << progress;
    }
    return steps;
}

double sizeRatio(const QString& output, const QString& input)
{
    return double(QFileInfo(output).size()) / double(QFileInfo(input).size());
}

// Where the compression tool writes: the job's own folder, "<job>/result." + the output's suffix.
QString jobResult(const QString& output)
{
    return "<job>/result." + QFileInfo(output).suffix();
}

// The log, with the job's folder (made afresh for every job) written as "<job>".
QStringList logWithJobFolder()
{
    const QRegularExpression jobFolder(QRegularExpression::escape(TempFolder::path()) + "doc-[^/]+");
    QStringList lines = TestEnv::logLines();
    for (QString& line : lines)
        line.replace(jobFolder, "<job>");
    return lines;
}
} // namespace

class tst_DocCompressCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void commandTexts_data();
    void commandTexts();
    void compressesPackages_data();
    void compressesPackages();
    void timedProgressFromZero();
    void timedProgressFromHalfAfterConversion();
    void toolFailuresReportOnce_data();
    void toolFailuresReportOnce();
    void conversionFailuresReportOnce_data();
    void conversionFailuresReportOnce();
    void convertsLegacyWordEndToEnd();
    void sameNamedLegacyFilesConvertApart();
    void relaysPdfReports();
    void relaysPdfFailureOnce();
    void oddNames_data();
    void oddNames();

private:
    QString path(const QString& name) const { return m_dir.path() + "/my docs/" + name; }
    // An executable shell script standing in for a tool.
    QString script(const QString& name, const QString& body) const;
    // Runs until the final report (or the time-out), then waits settleMs more to catch any report
    // that should not follow.
    QList<ProgressReport> run(DocCompressCore& engine, const std::function<void()>& start,
                              int settleMs = 300);

    QTemporaryDir m_dir;
    QString m_docx;
    QString m_pptx;
};

void tst_DocCompressCore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    QVERIFY(QDir().mkpath(m_dir.path() + "/my docs"));
    QVERIFY(QDir().mkpath(g_AppDataPath));
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/data").toLocal8Bit());
    // LibreOffice, started by the tests to make legacy inputs, writes into the home folder.
    qputenv("HOME", (m_dir.path() + "/home").toLocal8Bit());
    ThreadPool::instance()->start(4);
    QVERIFY(QFileInfo(PathManager::instance()->tempDir()).isDir());
    QVERIFY(QFileInfo(PlatformConstants::compressionToolPath()).isExecutable());
    QVERIFY(QFileInfo(PlatformConstants::docToolPath(false)).isExecutable());

    const QByteArray photo = OoxmlPackage::jpeg(OoxmlPackage::photo(2400, 1800, 11), 95);
    const QByteArray chart = OoxmlPackage::png(OoxmlPackage::diagram(1600, 1200));
    m_docx = path("report one.docx");
    m_pptx = path("deck.pptx");
    QVERIFY(OoxmlPackage::write(m_docx,
                                OoxmlPackage::wordDocument({{"image1.jpeg", photo}, {"image2.png", chart}})));
    QVERIFY(OoxmlPackage::write(m_pptx,
                                OoxmlPackage::presentation({{"image1.jpeg", photo}, {"image2.png", chart}})));
}

void tst_DocCompressCore::cleanupTestCase()
{
    ThreadPool::instance()->stop();
}

void tst_DocCompressCore::init()
{
    QFile::remove(Tool::logFilePath());
}

QString tst_DocCompressCore::script(const QString& name, const QString& body) const
{
    QDir().mkpath(m_dir.path() + "/tools");
    return TestEnv::writeScript(m_dir.path() + "/tools/" + name, body.toUtf8());
}

QList<ProgressReport> tst_DocCompressCore::run(DocCompressCore& engine, const std::function<void()>& start,
                                               int settleMs)
{
    QSignalSpy spy(&engine, &DocCompressCore::sig_sendProgress);
    start();
    QElapsedTimer clock;
    clock.start();
    while ((spy.isEmpty() || !ProgressReport::isFinal(spy.last())) && clock.elapsed() < 60000)
        spy.wait(200);
    spy.wait(settleMs);
    return ProgressReport::all(spy);
}

void tst_DocCompressCore::commandTexts_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("digit");
    QTest::newRow("clarity first") << 0 << "0";
    QTest::newRow("normal") << 1 << "1";
    QTest::newRow("smallest") << 2 << "2";
    QTest::newRow("any other value") << 5 << "0";
}

void tst_DocCompressCore::commandTexts()
{
    QFETCH(int, level);
    QFETCH(QString, digit);
    const QString tool = "/opt/v x/tool/Squimble";
    const QString input = "/d/a \"b\".pptx";
    const QString output = "/d/c_a -x.pptx";
    const ToolCommand command = DocCompressCore::compressCommand(tool, input, output, CompressLevel(level));
    QCOMPARE(command.text(), "\"" + tool + "\" \"" + input + "\" \"" + output + "\" " + digit);
    QCOMPARE(command.program(), tool);
    QCOMPARE(command.arguments(), QStringList({input, output, digit}));

    const ToolCommand convert = DocConvert::command("/opt/docTool/Trellant35", "/d/a.ppt", "/t/a.pptx");
    QCOMPARE(convert.text(),
             QString("\"/opt/docTool/Trellant35\" -type=6 -input=\"/d/a.ppt\" -output=\"/t/a.pptx\""));
    QCOMPARE(convert.arguments(), QStringList({"-type=6", "-input=/d/a.ppt", "-output=/t/a.pptx"}));
}

void tst_DocCompressCore::compressesPackages_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("level");
    QTest::newRow("pptx smallest") << m_pptx << 2;
    QTest::newRow("docx normal") << m_docx << 1;
    QTest::newRow("docx clarity first") << m_docx << 0;
}

void tst_DocCompressCore::compressesPackages()
{
    QFETCH(QString, input);
    QFETCH(int, level);
    const QString output = QFileInfo(input).path() + "/c_" + QFileInfo(input).baseName() + "." +
                           QFileInfo(input).suffix() + QString::number(level);
    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    const QList<ProgressReport> reports =
        run(engine, [&] { engine.compress(input, output, CompressLevel(level)); });

    QVERIFY(!reports.isEmpty());
    const ProgressReport last = reports.last();
    QCOMPARE(last.progress, 1.0f);
    QVERIFY(last.stat);
    QCOMPARE(last.filePath, output);
    QCOMPARE(last.rate, float(sizeRatio(output, input)));
    QVERIFY(last.rate < 1.0f);
    const QList<float> steps = timedSteps(0.0f, reports.size() - 1);
    for (int i = 0; i < reports.size() - 1; ++i) {
        QCOMPARE(reports[i].progress, steps[i]);
        QVERIFY(!reports[i].stat);
    }
    QCOMPARE(OoxmlPackage::read(output).size(), OoxmlPackage::read(input).size());

    const ToolCommand command = DocCompressCore::compressCommand(
        PlatformConstants::compressionToolPath(), input, jobResult(output), CompressLevel(level));
    QCOMPARE(logWithJobFolder(), QStringList(QString("start compress %1: %2").arg(input, command.text())));
}

void tst_DocCompressCore::timedProgressFromZero()
{
    // A tool that takes 2.5 s: two timed reports, then the completion report.
    const QString tool = script("slow", "sleep 2.5\ncp \"$1\" \"$2\"\necho success");
    const QString output = path("c_slow.pptx");
    DocCompressCore engine(tool, PlatformConstants::docToolPath(false));
    const QList<ProgressReport> reports = run(engine, [&] { engine.compress(m_pptx, output, Smallest); });

    QVERIFY2(reports.size() >= 3, qPrintable(QString::number(reports.size())));
    const QList<float> steps = timedSteps(0.0f, reports.size() - 1);
    for (int i = 0; i < reports.size() - 1; ++i) {
        QCOMPARE(reports[i].progress, steps[i]);
        QCOMPARE(reports[i].stat, false);
        QCOMPARE(reports[i].filePath, output);
        QCOMPARE(reports[i].rate, 0.0f);
    }
    QCOMPARE(reports.last().progress, 1.0f);
    QCOMPARE(reports.last().rate, 1.0f);

    // Nothing connects the output parser; called directly it reads the tool's words.
    QSignalSpy spy(&engine, &DocCompressCore::sig_sendProgress);
    engine.slot_readOutput();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].toFloat(), 0.0f);
    QCOMPARE(spy[0][1].toBool(), true);
    QCOMPARE(spy[0][2].toString(), output);
    QCOMPARE(spy[0][3].toFloat(), 1.0f);
}

void tst_DocCompressCore::timedProgressFromHalfAfterConversion()
{
    // The document tool stands in with a copy of a ready .pptx; the compression tool is slow.
    // "A.B.PPT": capitals and a second dot, converted to "A.pptx" in the temporary folder.
    const QString legacy = path("A.B.PPT");
    QVERIFY(QFile::copy(m_pptx, legacy));
    const QString docTool =
        script("convert-copy", QString("out=\"${3#-output=}\"\ncp \"%1\" \"$out\"").arg(m_pptx));
    const QString compressor = script("slow-half", "sleep 2.5\ncp \"$1\" \"$2\"\necho success");
    const QString output = path("c_A.pptx");

    DocCompressCore engine(compressor, docTool);
    const QList<ProgressReport> reports = run(engine, [&] { engine.compress(legacy, output, Normal); });
    const QString converted = engine.convertedPath();
    QVERIFY(converted.startsWith(PlatformConstants::tempFolder()));
    QVERIFY(converted.endsWith("/A.pptx"));

    QVERIFY2(reports.size() >= 3, qPrintable(QString::number(reports.size())));
    const QList<float> steps = timedSteps(0.5f, reports.size() - 1);
    QCOMPARE(steps.first(), 0.6f);
    for (int i = 0; i < reports.size() - 1; ++i) {
        QCOMPARE(reports[i].progress, steps[i]);
        QCOMPARE(reports[i].stat, false);
    }
    QCOMPARE(reports.last().progress, 1.0f);
    QVERIFY(reports.last().stat);
    // The converted file was the stand-in's copy of the .pptx; it went with the job's folder.
    QCOMPARE(reports.last().rate, float(sizeRatio(output, m_pptx)));
    QVERIFY(!QFileInfo::exists(converted));
    QVERIFY(!QFileInfo::exists(QFileInfo(converted).path()));
    const QString job = QFileInfo(converted).path();
    const ToolCommand command =
        DocCompressCore::compressCommand(compressor, converted, job + "/result.pptx", Normal);
    QCOMPARE(TestEnv::logLines(),
             QStringList(QString("start compress %1: %2").arg(converted, command.text())));
}

void tst_DocCompressCore::toolFailuresReportOnce_data()
{
    QTest::addColumn<QString>("toolBody"); // empty: the real tool; "-": no tool at all
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");

    QTest::newRow("tool exits non-zero") << "echo 10\necho 'Not compressed: broken'\nexit 3"
                                         << ""
                                         << "compression tool exit code 3, Not compressed: broken";
    QTest::newRow("tool leaves no output") << "echo success\nexit 0"
                                           << ""
                                           << "no output file <job>/result.pptx";
    // A tool that ran out of disk space and still ended well: its package is cut off.
    QTest::newRow("tool leaves a cut-off package")
        << "for a; do out=$in; in=$a; done\nhead -c 3000 \"$1\" > \"$out\"\nexit 0"
        << ""
        << "the result is incomplete: the package does not open";
    QTest::newRow("tool crashes") << "kill -9 $$"
                                  << ""
                                  << "compression tool crashed";
    QTest::newRow("tool cannot start") << "-"
                                       << ""
                                       << "compression tool cannot start (";
    QTest::newRow("input missing") << ""
                                   << "missing"
                                   << "input file missing";
    QTest::newRow("corrupt package") << ""
                                     << "corrupt"
                                     << "compression tool exit code 1, Not a package: ";
}

void tst_DocCompressCore::toolFailuresReportOnce()
{
    QFETCH(QString, toolBody);
    QFETCH(QString, damage);
    QFETCH(QString, reason);

    QString tool = PlatformConstants::compressionToolPath();
    if (toolBody == "-")
        tool = m_dir.path() + "/tools/absent/Squimble";
    else if (!toolBody.isEmpty())
        tool = script(QString("tool-%1").arg(QTest::currentDataTag()).replace(' ', '-'), toolBody);

    QString input = path(QString("in-%1.pptx").arg(QTest::currentDataTag()));
    if (damage == "corrupt") {
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    } else if (damage != "missing") {
        QVERIFY(QFile::copy(m_pptx, input));
    }
    const QString output = path(QString("c_out-%1.pptx").arg(QTest::currentDataTag()));
    reason.replace("%OUT%", output);

    DocCompressCore engine(tool, PlatformConstants::docToolPath(false));
    // Longer than one timer period: a timed report after the failure would show.
    const QList<ProgressReport> reports = run(
        engine, [&] { engine.compress(input, output, Smallest); }, 1100);
    QVERIFY(!reports.isEmpty());
    const ProgressReport last = reports.last();
    QCOMPARE(last.progress, -1.0f);
    QCOMPARE(last.stat, false);
    QCOMPARE(last.filePath, QString());
    QCOMPARE(last.rate, 0.0f);
    for (int i = 0; i < reports.size() - 1; ++i)
        QVERIFY(reports[i].progress > 0 && !reports[i].stat);
    QVERIFY(!QFileInfo::exists(output));

    const QStringList log = logWithJobFolder();
    QVERIFY(!log.isEmpty());
    const QString expected = QString("doc compress fail %1: %2").arg(input, reason);
    QVERIFY2(log.last().startsWith(expected), qPrintable(log.last()));
    QCOMPARE(log.filter("doc compress fail").size(), 1);
}

void tst_DocCompressCore::conversionFailuresReportOnce_data()
{
    QTest::addColumn<QString>("docToolBody"); // "-": no document tool at all
    QTest::addColumn<QString>("reason");

    // LibreOffice's habit: exit 0 and no file. A stale file from an earlier conversion of the
    // same name lies in the temporary folder and must not be taken for this one's result.
    QTest::newRow("converter leaves no file") << "exit 0"
                                              << "no converted file %CONVERTED%";
    QTest::newRow("converter fails") << "echo cannot >&2\nexit 1"
                                     << "no converted file %CONVERTED%";
    QTest::newRow("converter cannot start") << "-"
                                            << "conversion failed: document tool cannot start (";
}

void tst_DocCompressCore::conversionFailuresReportOnce()
{
    QFETCH(QString, docToolBody);
    QFETCH(QString, reason);

    const QString tag = QString(QTest::currentDataTag()).replace(' ', '-');
    const QString docTool = docToolBody == "-" ? m_dir.path() + "/tools/absent/Trellant35"
                                               : script("convert-" + tag, docToolBody);
    const QString input = path("old-" + tag + ".doc");
    QVERIFY(QFile::copy(m_docx, input));
    const QString stale = PlatformConstants::tempFolder() + "old-" + tag + ".docx";
    QVERIFY(QDir().mkpath(PlatformConstants::tempFolder()));
    QVERIFY(QFile::copy(m_docx, stale));
    const QString output = path("c_old-" + tag + ".docx");

    DocCompressCore engine(PlatformConstants::compressionToolPath(), docTool);
    const QList<ProgressReport> reports = run(
        engine, [&] { engine.compress(input, output, Smallest); }, 1100);
    reason.replace("%CONVERTED%", engine.convertedPath());
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports[0].progress, -1.0f);
    QCOMPARE(reports[0].stat, false);
    QCOMPARE(reports[0].filePath, QString());
    QVERIFY(!QFileInfo::exists(output));
    const QStringList log = TestEnv::logLines();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log[0].startsWith(QString("doc compress fail %1: %2").arg(input, reason)), qPrintable(log[0]));
}

void tst_DocCompressCore::convertsLegacyWordEndToEnd()
{
    VX_REQUIRE_TOOL("soffice");
    // A real .doc: LibreOffice saves the generated .docx in Word 97 format.
    const QString made = m_dir.path() + "/legacy";
    QVERIFY(QDir().mkpath(made));
    QByteArray said;
    const int code =
        TestEnv::runTool("soffice",
                         {"-env:UserInstallation=" +
                              QUrl::fromLocalFile(m_dir.path() + "/lo-profile").toString(QUrl::FullyEncoded),
                          "--headless", "--norestore", "--convert-to", "doc", "--outdir", made, m_docx},
                         &said);
    QCOMPARE(code, 0);
    const QString input = path("minutes.v1.doc");
    QVERIFY2(QFile::rename(made + "/report one.doc", input), said.constData());

    const QString output = path("c_minutes.docx");
    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    // The converted file lives only while the job runs: a copy is kept when the conversion ends.
    const QString converted = m_dir.path() + "/legacy/converted minutes.docx";
    const QList<ProgressReport> reports = run(engine, [&] {
        engine.compress(input, output, Smallest);
        DocConvert* converter = engine.findChild<DocConvert*>();
        QVERIFY(converter);
        connect(converter, &DocConvert::sig_Finished, this,
                [&] { QFile::copy(engine.convertedPath(), converted); });
    });
    QVERIFY(engine.convertedPath().endsWith("/minutes.docx"));
    QVERIFY(!QFileInfo::exists(engine.convertedPath()));
    QVERIFY(QFileInfo(converted).size() > 0);

    QVERIFY(!reports.isEmpty());
    QCOMPARE(reports.last().progress, 1.0f);
    QVERIFY(reports.last().stat);
    QCOMPARE(reports.last().filePath, output);
    QCOMPARE(reports.last().rate, float(sizeRatio(output, input)));
    QVERIFY(reports.last().rate < 1.0f);
    const QList<float> steps = timedSteps(0.5f, reports.size() - 1);
    for (int i = 0; i < reports.size() - 1; ++i)
        QCOMPARE(reports[i].progress, steps[i]);

    // A Word package with the converted file's parts in their order; no picture grew, and the
    // photograph is now at most 1280 pixels on a side.
    const QList<OoxmlPackage::Entry> entries = OoxmlPackage::read(output);
    const QList<OoxmlPackage::Entry> before = OoxmlPackage::read(converted);
    QVERIFY(!entries.isEmpty());
    QCOMPARE(entries.size(), before.size());
    bool hasDocument = false;
    int photos = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const OoxmlPackage::Entry& entry = entries[i];
        QCOMPARE(entry.name, before[i].name);
        hasDocument = hasDocument || entry.name == "word/document.xml";
        if (!entry.name.startsWith("word/media/"))
            continue;
        QVERIFY(entry.data.size() <= before[i].data.size());
        const QImage image = QImage::fromData(entry.data);
        if (entry.data.startsWith("\xFF\xD8\xFF")) {
            ++photos;
            QCOMPARE(image.size(), QSize(1280, 960));
        }
    }
    QVERIFY(hasDocument);
    QCOMPARE(photos, 1);
    const QString job = QFileInfo(engine.convertedPath()).path();
    const ToolCommand command = DocCompressCore::compressCommand(
        PlatformConstants::compressionToolPath(), engine.convertedPath(), job + "/result.docx", Smallest);
    QCOMPARE(TestEnv::logLines(),
             QStringList(QString("start compress %1: %2").arg(engine.convertedPath(), command.text())));
}

void tst_DocCompressCore::sameNamedLegacyFilesConvertApart()
{
    // Two "same.doc" from different folders at once: each result must come from its own input.
    const QString docTool = script("convert-own", "in=\"${2#-input=}\"\nout=\"${3#-output=}\"\n"
                                                  "sleep 0.5\ncp \"$in\" \"$out\"");
    const QString compressor = script("copy-through", "cp \"$1\" \"$2\"\necho success");
    QVERIFY(QDir().mkpath(path("first")));
    QVERIFY(QDir().mkpath(path("second")));
    const QString firstInput = path("first/same.doc");
    const QString secondInput = path("second/same.doc");
    QVERIFY(QFile::copy(m_docx, firstInput));
    QVERIFY(QFile::copy(m_pptx, secondInput));

    DocCompressCore first(compressor, docTool);
    DocCompressCore second(compressor, docTool);
    QSignalSpy firstSpy(&first, &DocCompressCore::sig_sendProgress);
    QSignalSpy secondSpy(&second, &DocCompressCore::sig_sendProgress);
    first.compress(firstInput, path("first/c_same.docx"), Normal);
    second.compress(secondInput, path("second/c_same.docx"), Normal);
    QTRY_VERIFY_WITH_TIMEOUT(!firstSpy.isEmpty() && ProgressReport::isFinal(firstSpy.last()), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!secondSpy.isEmpty() && ProgressReport::isFinal(secondSpy.last()), 20000);

    QVERIFY(first.convertedPath() != second.convertedPath());
    QCOMPARE(firstSpy.last()[0].toFloat(), 1.0f);
    QCOMPARE(secondSpy.last()[0].toFloat(), 1.0f);
    const auto bytes = [](const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    };
    QCOMPARE(bytes(path("first/c_same.docx")), bytes(m_docx));
    QCOMPARE(bytes(path("second/c_same.docx")), bytes(m_pptx));
}

void tst_DocCompressCore::relaysPdfReports()
{
    const QString input = path("one page.pdf");
    PdfFactory::Options options;
    options.pages = 1;
    options.content = PdfFactory::Content::Images;
    options.imageWidth = 800;
    QVERIFY(PdfFactory::write(input, options));
    const QString output = path("c_one page.pdf");

    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    const QList<ProgressReport> reports = run(engine, [&] { engine.compressPdf(input, output, 10); });
    // The PDF engine's own sequence for one range: 0.9, then the completion; no timed reports.
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports[0].progress, 0.9f);
    QCOMPARE(reports[0].stat, false);
    QCOMPARE(reports[0].filePath, QString());
    QCOMPARE(reports[1].progress, 1.0f);
    QVERIFY(reports[1].stat);
    QCOMPARE(reports[1].filePath, output);
    QCOMPARE(reports[1].rate, float(sizeRatio(output, input)));
}

void tst_DocCompressCore::relaysPdfFailureOnce()
{
    const QString input = path("not a.pdf");
    QFile file(input);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plain text, not a PDF\n");
    file.close();

    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    const QList<ProgressReport> reports = run(
        engine, [&] { engine.compressPdf(input, path("c_not a.pdf"), 90); }, 1100);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports[0].progress, -1.0f);
    QCOMPARE(reports[0].stat, false);
    QCOMPARE(reports[0].filePath, QString());
    QCOMPARE(reports[0].rate, 0.0f);
}

void tst_DocCompressCore::oddNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outSuffix");
    for (const QString& name : OddNames::baseNames())
        QTest::addRow("docx: %s", qPrintable(OddNames::tag(name))) << name + ".docx"
                                                                   << "docx";
    // The same tools serve the other kinds: a row each.
    QTest::newRow("pptx: a?b %o") << "a?b %o.pptx"
                                  << "pptx";
    QTest::newRow("doc: a*b [0]") << "a*b [0].doc"
                                  << "docx";
    QTest::newRow("ppt: 20%d\\nx") << "20%d\nx.ppt"
                                   << "pptx";
}

void tst_DocCompressCore::oddNames()
{
    QFETCH(QString, name);
    QFETCH(QString, outSuffix);
    // One sample of each suffix, made once (LibreOffice makes the legacy ones).
    const QString sample = m_dir.path() + "/samples/sample." + QFileInfo(name).suffix();
    if (!QFileInfo::exists(sample)) {
        QVERIFY(QDir().mkpath(m_dir.path() + "/samples"));
        QVERIFY(SampleFiles::make(sample, m_dir.path() + "/samples"));
    }
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(OddNames::makeNeighbours(folder.path()));
    const QString in = folder.filePath(name);
    QVERIFY(QFile::copy(sample, in));
    const QMap<QString, QByteArray> before = OddNames::contentsOf(folder.path());

    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false),
                           nullptr);
    const QString outName = "c_" + QFileInfo(in).baseName() + '.' + outSuffix;
    const QList<ProgressReport> reports =
        run(engine, [&] { engine.compress(in, folder.filePath(outName), CompressLevel(1)); });
    QVERIFY(!reports.isEmpty());
    QVERIFY2(reports.last().stat, qPrintable(TestEnv::logLines().join('\n')));
    const QString differences = OddNames::differences(before, OddNames::contentsOf(folder.path()), outName);
    QVERIFY2(differences.isEmpty(), qPrintable(differences));
    const QList<OoxmlPackage::Entry> entries = OoxmlPackage::read(folder.filePath(outName));
    QVERIFY(std::any_of(entries.begin(), entries.end(), [](const OoxmlPackage::Entry& entry) {
        return entry.name == "[Content_Types].xml";
    }));
}

QTEST_MAIN(tst_DocCompressCore)
#include "tst_doccompresscore.moc"
