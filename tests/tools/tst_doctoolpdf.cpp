#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "PdfFactory.h"
#include "TestEnv.h"

// The document tool's PDF commands, run as the engines run them: program plus separate arguments.
class TestDocToolPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void extractsPageRange();
    void refusesBadInput_data();
    void refusesBadInput();
    void compressesImagesByQuality();
    void keepsTextOnlyFromGrowing();
    void mergesPartsInOrder();
    void splitCompressMergeOfTextIsNotLarger();
    void carriesAnnotationsWithTheirPages();
    void mergeStoresFontsOfAnotherProducerOnce();

private:
    int runDocTool(const QStringList& arguments, QString* error = nullptr);
    QString makePdf(const QString& name, const PdfFactory::Options& options);

    QTemporaryDir m_dir;
    QString m_tool;
};

void TestDocToolPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tool = QCoreApplication::applicationDirPath() + "/docTool/Trellant35";
    QVERIFY2(QFileInfo(m_tool).isExecutable(), qPrintable(m_tool));
}

int TestDocToolPdf::runDocTool(const QStringList& arguments, QString* error)
{
    QProcess process;
    process.start(m_tool, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (error)
        *error = QString::fromUtf8(process.readAllStandardError()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString TestDocToolPdf::makePdf(const QString& name, const PdfFactory::Options& options)
{
    const QString path = m_dir.filePath(name);
    if (!PdfFactory::write(path, options))
        return QString();
    return path;
}

void TestDocToolPdf::extractsPageRange()
{
    PdfFactory::Options options;
    options.pages = 12;
    options.title = "Range source";
    options.bookmarkEvery = 5;
    const QString input = makePdf("with blanks in name.pdf", options);
    QVERIFY(!input.isEmpty());
    QCOMPARE(PdfFactory::bookmarks(input),
             QStringList({"Chapter 1@1", "  Section 1.1@2", "Chapter 2@6", "  Section 2.1@7", "Chapter 3@11",
                          "  Section 3.1@12"}));

    const QString output = m_dir.filePath("range out.pdf");
    QString error;
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + output, "-pageRange=6-11"}, &error), 0);
    QCOMPARE(error, QString());
    QCOMPARE(PdfFactory::pageCount(output), 6);
    QCOMPARE(PdfFactory::title(output), QString("Range source"));
    // Bookmarks into the range follow their pages; those outside are gone.
    QCOMPARE(PdfFactory::bookmarks(output), QStringList({"Chapter 2@1", "  Section 2.1@2", "Chapter 3@6"}));

    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + output, "-pageRange=1-1"}), 0);
    QCOMPARE(PdfFactory::pageCount(output), 1);
}

void TestDocToolPdf::refusesBadInput_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");

    QTest::newRow("range beyond the end") << "plain" << QStringList({"-subtype=3", "-pageRange=2-9"})
                                          << "-pageRange=2-9 lies outside the 3 pages of %1";
    QTest::newRow("malformed range") << "plain" << QStringList({"-subtype=3", "-pageRange=2"})
                                     << "bad -pageRange=2 (expected first-last)";
    QTest::newRow("quality out of range") << "plain" << QStringList({"-subtype=2", "-quality=0"})
                                          << "bad -quality=0 (expected 1 to 100)";
    QTest::newRow("locked") << "locked" << QStringList({"-subtype=2", "-quality=50"})
                            << "%1 is locked by a password";
    QTest::newRow("not a pdf") << "text" << QStringList({"-subtype=2", "-quality=50"}) << "";
    QTest::newRow("missing merge part") << "missing" << QStringList({"-subtype=1"}) << "";
    QTest::newRow("unknown subtype") << "plain" << QStringList({"-subtype=7"}) << "unknown -subtype=7";
}

void TestDocToolPdf::refusesBadInput()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);

    PdfFactory::Options options;
    options.pages = 3;
    QString input;
    if (kind == "plain") {
        input = makePdf("plain.pdf", options);
    } else if (kind == "locked") {
        options.userPassword = "secret";
        input = makePdf("locked.pdf", options);
        QCOMPARE(PdfFactory::pageCount(input), -1);
    } else if (kind == "text") {
        input = m_dir.filePath("notes.pdf");
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("these are notes, not a PDF\n");
    } else {
        input = makePdf("plain.pdf", options) + '*' + m_dir.filePath("gone.pdf");
    }
    QVERIFY(!input.isEmpty());
    const QString output = m_dir.filePath("refused.pdf");
    QFile::remove(output);

    QString error;
    QCOMPARE(runDocTool(QStringList({"-type=3", "-input=" + input, "-output=" + output}) + arguments, &error), 1);
    if (reason.contains("%1"))
        QCOMPARE(error, reason.arg(input));
    else if (!reason.isEmpty())
        QCOMPARE(error, reason);
    else
        QVERIFY(!error.isEmpty() && !error.contains('\n'));
    QVERIFY(!QFileInfo::exists(output));
}

void TestDocToolPdf::compressesImagesByQuality()
{
    PdfFactory::Options options;
    options.pages = 4;
    options.content = PdfFactory::Content::Images;
    options.title = "Pictures";
    options.bookmarkEvery = 2;
    const QString input = makePdf("pictures.pdf", options);
    QVERIFY(!input.isEmpty());
    const qint64 inputSize = QFileInfo(input).size();

    const QString low = m_dir.filePath("low.pdf");
    const QString high = m_dir.filePath("high.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + input, "-output=" + low, "-quality=10"}), 0);
    QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + input, "-output=" + high, "-quality=90"}), 0);
    QCOMPARE(PdfFactory::pageCount(low), 4);
    QCOMPARE(PdfFactory::pageCount(high), 4);
    const qint64 lowSize = QFileInfo(low).size();
    const qint64 highSize = QFileInfo(high).size();
    QVERIFY2(lowSize < inputSize * 3 / 10, qPrintable(QString("%1 of %2").arg(lowSize).arg(inputSize)));
    QVERIFY2(lowSize < highSize, qPrintable(QString("%1 vs %2").arg(lowSize).arg(highSize)));
    QVERIFY(highSize <= inputSize);
    int jpegs = 0;
    QCOMPARE(PdfFactory::imageCount(low, &jpegs), 4);
    QCOMPARE(jpegs, 4);
    QCOMPARE(PdfFactory::title(low), QString("Pictures"));
    QCOMPARE(PdfFactory::bookmarks(low), PdfFactory::bookmarks(input));
}

void TestDocToolPdf::keepsTextOnlyFromGrowing()
{
    PdfFactory::Options options;
    options.pages = 6;
    const QString input = makePdf("text.pdf", options);
    QVERIFY(!input.isEmpty());
    const QString output = m_dir.filePath("text_c.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + input, "-output=" + output, "-quality=50"}), 0);
    QCOMPARE(PdfFactory::pageCount(output), 6);
    QVERIFY(QFileInfo(output).size() <= QFileInfo(input).size());
}

void TestDocToolPdf::mergesPartsInOrder()
{
    QStringList parts;
    for (int i = 0; i < 3; ++i) {
        PdfFactory::Options options;
        options.pages = i + 1;
        options.title = QString("Part %1").arg(i);
        options.bookmarkEvery = 1;
        parts << makePdf(QString("part %1.pdf").arg(i), options);
        QVERIFY(!parts.last().isEmpty());
    }
    const QString output = m_dir.filePath("merged.pdf");
    QString error;
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + parts.join('*'), "-output=" + output}, &error), 0);
    QCOMPARE(error, QString());
    QCOMPARE(PdfFactory::pageCount(output), 6);
    QCOMPARE(PdfFactory::title(output), QString("Part 0"));
    QCOMPARE(PdfFactory::bookmarks(output),
             QStringList({"Chapter 1@1", "Chapter 1@2", "  Section 1.1@3", "Chapter 2@3", "Chapter 1@4",
                          "  Section 1.1@5", "Chapter 2@5", "  Section 2.1@6", "Chapter 3@6"}));
}

void TestDocToolPdf::splitCompressMergeOfTextIsNotLarger()
{
    PdfFactory::Options options;
    options.pages = 30;
    options.title = "Long text";
    options.bookmarkEvery = 10;
    const QString input = makePdf("long text.pdf", options);
    QVERIFY(!input.isEmpty());

    QStringList parts;
    for (int first = 1; first <= 30; first += 5) {
        const QString split = m_dir.filePath(QString("long_%1s.pdf").arg(first));
        const QString part = m_dir.filePath(QString("long_%1.pdf").arg(first));
        QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + split,
                             QString("-pageRange=%1-%2").arg(first).arg(first + 4)}),
                 0);
        QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + split, "-output=" + part, "-quality=50"}), 0);
        parts << part;
    }
    const QString output = m_dir.filePath("long text merged.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + parts.join('*'), "-output=" + output}), 0);
    QCOMPARE(PdfFactory::pageCount(output), 30);
    QVERIFY2(QFileInfo(output).size() <= QFileInfo(input).size(),
             qPrintable(QString("%1 > %2").arg(QFileInfo(output).size()).arg(QFileInfo(input).size())));
    QCOMPARE(PdfFactory::title(output), QString("Long text"));
    QCOMPARE(PdfFactory::bookmarks(output), PdfFactory::bookmarks(input));
    QCOMPARE(PdfFactory::fontCount(output), PdfFactory::fontCount(input));
}

void TestDocToolPdf::mergeStoresFontsOfAnotherProducerOnce()
{
    // LibreOffice writes a font as a chain (font, descriptor, font file); every part cut from its
    // document carries the whole chain, and the merge must keep one.
    VX_REQUIRE_TOOL("soffice");
    const QString html = m_dir.filePath("pages.html");
    QFile file(html);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray body = "<html><body>";
    for (int page = 1; page <= 3; ++page)
        body += QString::fromUtf8("<p style=\"page-break-after: always\">第 %1 页 page %1</p>").arg(page).toUtf8();
    file.write(body + "</body></html>");
    file.close();
    const QString profile = QUrl::fromLocalFile(m_dir.filePath("lo-profile")).toString(QUrl::FullyEncoded);
    QByteArray said;
    QCOMPARE(TestEnv::runTool("soffice", {"-env:UserInstallation=" + profile, "--headless", "--norestore",
                                          "--convert-to", "pdf", "--outdir", m_dir.path(), html},
                              &said),
             0);
    const QString input = m_dir.filePath("pages.pdf");
    QVERIFY2(PdfFactory::pageCount(input) == 3, said.constData());
    const int fonts = PdfFactory::fontCount(input);
    QVERIFY(fonts >= 1);

    QStringList parts;
    for (int page = 1; page <= 3; ++page) {
        parts << m_dir.filePath(QString("pages_%1.pdf").arg(page));
        QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + parts.last(),
                             QString("-pageRange=%1-%1").arg(page)}),
                 0);
        QCOMPARE(PdfFactory::fontCount(parts.last()), fonts);
    }
    const QString output = m_dir.filePath("pages merged.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + parts.join('*'), "-output=" + output}), 0);
    QCOMPARE(PdfFactory::pageCount(output), 3);
    QCOMPARE(PdfFactory::fontCount(output), fonts);
}

void TestDocToolPdf::carriesAnnotationsWithTheirPages()
{
    VX_REQUIRE_TOOL("gs");
    // Page 1: a web link and a link to page 3; page 2: a note.
    const QString script = m_dir.filePath("annotated.ps");
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("%!PS\n/Helvetica findfont 20 scalefont setfont\n"
               "72 700 moveto (One) show\n"
               "[ /Rect [70 690 300 720] /Action << /Subtype /URI /URI (https://example.org/) >> /Subtype /Link /ANN pdfmark\n"
               "[ /Rect [70 600 300 630] /Page 3 /View [/XYZ null null null] /Subtype /Link /ANN pdfmark\n"
               "showpage\n72 700 moveto (Two) show\n"
               "[ /Rect [70 500 100 530] /Contents (a note) /Subtype /Text /ANN pdfmark\nshowpage\n"
               "72 700 moveto (Three) show showpage\n");
    file.close();
    const QString input = m_dir.filePath("annotated.pdf");
    QCOMPARE(TestEnv::runTool("gs", {"-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", "-sDEVICE=pdfwrite",
                                     "-sOutputFile=" + input, script}),
             0);
    QCOMPARE(PdfFactory::annotations(input), QStringList({"1:Link", "1:Link->3", "2:Text"}));

    const QString head = m_dir.filePath("annotated head.pdf");
    const QString tail = m_dir.filePath("annotated tail.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + head, "-pageRange=1-2"}), 0);
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + tail, "-pageRange=3-3"}), 0);
    // The link to page 3 cannot follow into a file without page 3.
    QCOMPARE(PdfFactory::annotations(head), QStringList({"1:Link", "2:Text"}));

    const QString whole = m_dir.filePath("annotated whole.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + whole, "-pageRange=1-3"}), 0);
    const QString merged = m_dir.filePath("annotated merged.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + tail + '*' + whole, "-output=" + merged}), 0);
    QCOMPARE(PdfFactory::annotations(merged), QStringList({"2:Link", "2:Link->4", "3:Text"}));
}

QTEST_MAIN(TestDocToolPdf)
#include "tst_doctoolpdf.moc"
