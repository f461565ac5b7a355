#include <cmath>
#include <cstring>
#include <initializer_list>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "PdfCarriedFeatures.h"
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
    void shrinksLargePicturesEvenly_data();
    void shrinksLargePicturesEvenly();
    void keepsTextOnlyFromGrowing();
    void mergesPartsInOrder();
    void splitCompressMergeOfTextIsNotLarger();
    void carriesAnnotationsWithTheirPages();
    void cutsAndMergesKeepTheWholeDocument();
    void cutOpenedAloneIsWhole();
    void dropsOtherApplicationsPrivateData();
    void mergeKeepsPagesWhoseContentsLookAlike();
    void pagesKeepTheirTransparencyGroup();
    void mergeStoresFontsOfAnotherProducerOnce();
    void readsTreesWhoseKidsLoop();
    void rangesKeepLayersNotesAndRestrictions_data();
    void rangesKeepLayersNotesAndRestrictions();
    void rangesKeepTheColoursOfPictures();
    void referencesToMissingObjectsReadAsNull_data();
    void referencesToMissingObjectsReadAsNull();

private:
    // The tool's exit code; its error and output streams go to *error and *output, when given.
    int runDocTool(const QStringList& arguments, QString* error = nullptr, QString* output = nullptr);
    // Cuts input in ranges of rangePages, compresses each at quality and merges them into output,
    // as the engine does; the merge's error goes to *error.
    bool cutCompressMerge(const QString& input, const QString& output, int rangePages, int quality,
                          QString* error);
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

int TestDocToolPdf::runDocTool(const QStringList& arguments, QString* error, QString* output)
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
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool TestDocToolPdf::cutCompressMerge(const QString& input, const QString& output, int rangePages,
                                      int quality, QString* error)
{
    const int pages = PdfFactory::pageCount(input);
    const QString name = QFileInfo(output).completeBaseName();
    QStringList parts;
    for (int first = 1; first <= pages; first += rangePages) {
        const QString split = m_dir.filePath(QString("%1_%2s.pdf").arg(name).arg(first));
        parts << m_dir.filePath(QString("%1_%2.pdf").arg(name).arg(first));
        if (runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + split,
                        QString("-pageRange=%1-%2").arg(first).arg(qMin(first + rangePages - 1, pages))}) !=
                0 ||
            runDocTool({"-type=3", "-subtype=2", "-input=" + split, "-output=" + parts.last(),
                        QString("-quality=%1").arg(quality)}) != 0)
            return false;
    }
    return runDocTool({"-type=3", "-subtype=1", "-input=" + parts.join('*'), "-output=" + output}, error) ==
           0;
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
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + output, "-pageRange=6-11"},
                        &error),
             0);
    QCOMPARE(error, QString());
    QCOMPARE(PdfFactory::pageCount(output), 6);
    QCOMPARE(PdfFactory::title(output), QString("Range source"));
    // Bookmarks into the range follow their pages; those outside are gone.
    QCOMPARE(PdfFactory::bookmarks(output), QStringList({"Chapter 2@1", "  Section 2.1@2", "Chapter 3@6"}));

    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + output, "-pageRange=1-1"}),
             0);
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
    QTest::newRow("quality out of range")
        << "plain" << QStringList({"-subtype=2", "-quality=0"}) << "bad -quality=0 (expected 1 to 100)";
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
    QCOMPARE(runDocTool(QStringList({"-type=3", "-input=" + input, "-output=" + output}) + arguments, &error),
             1);
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

namespace
{
// The first raster image stored in the PDF at path, decoded (a null image when there is none).
QImage firstImageOf(const QString& path)
{
    QImage result;
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return result;
    const QByteArray name = QFile::encodeName(path);
    pdf_document* document = nullptr;
    fz_image* image = nullptr;
    fz_pixmap* pixmap = nullptr;
    fz_var(document);
    fz_var(image);
    fz_var(pixmap);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        for (int number = 1; number < pdf_xref_len(context, document) && !pixmap; ++number) {
            pdf_obj* object = pdf_new_indirect(context, document, number, 0);
            if (pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Subtype)), PDF_NAME(Image))) {
                image = pdf_load_image(context, document, object);
                pixmap = fz_get_pixmap_from_image(context, image, nullptr, nullptr, nullptr, nullptr);
            }
            pdf_drop_obj(context, object);
        }
    }
    fz_catch(context)
    {
        pixmap = nullptr;
    }
    if (pixmap && !fz_pixmap_alpha(context, pixmap) && (pixmap->n == 1 || pixmap->n == 3))
        result = QImage(fz_pixmap_samples(context, pixmap), pixmap->w, pixmap->h,
                        int(fz_pixmap_stride(context, pixmap)),
                        pixmap->n == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888)
                     .copy();
    fz_drop_pixmap(context, pixmap);
    fz_drop_image(context, image);
    pdf_drop_document(context, document);
    fz_drop_context(context);
    return result;
}

// A one-page PDF that shows picture (8-bit grey or RGB), stored losslessly, over the whole page.
bool writeImagePdf(const QString& path, const QImage& picture)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = QFile::encodeName(path);
    const QByteArray contents =
        QString("q %1 0 0 %2 0 0 cm /Im0 Do Q").arg(picture.width()).arg(picture.height()).toLatin1();
    const bool grey = picture.format() == QImage::Format_Grayscale8;
    bool ok = true;
    pdf_document* document = nullptr;
    fz_pixmap* pixmap = nullptr;
    fz_image* image = nullptr;
    pdf_obj* resources = nullptr;
    fz_buffer* buffer = nullptr;
    fz_var(document);
    fz_var(pixmap);
    fz_var(image);
    fz_var(resources);
    fz_var(buffer);
    fz_try(context)
    {
        document = pdf_create_document(context);
        pixmap = fz_new_pixmap(context, grey ? fz_device_gray(context) : fz_device_rgb(context),
                               picture.width(), picture.height(), nullptr, 0);
        for (int y = 0; y < picture.height(); ++y)
            memcpy(fz_pixmap_samples(context, pixmap) + y * fz_pixmap_stride(context, pixmap),
                   picture.constScanLine(y), size_t(picture.width()) * (grey ? 1 : 3));
        image = fz_new_image_from_pixmap(context, pixmap, nullptr);
        resources = pdf_new_dict(context, document, 1);
        pdf_dict_puts_drop(context, pdf_dict_put_dict(context, resources, PDF_NAME(XObject), 1), "Im0",
                           pdf_add_image(context, document, image));
        buffer = fz_new_buffer_from_copied_data(
            context, reinterpret_cast<const unsigned char*>(contents.constData()), size_t(contents.size()));
        pdf_obj* page = pdf_add_page(context, document, fz_make_rect(0, 0, picture.width(), picture.height()),
                                     0, resources, buffer);
        pdf_insert_page(context, document, -1, page);
        pdf_drop_obj(context, page);
        pdf_save_document(context, document, name.constData(), nullptr);
    }
    fz_always(context)
    {
        fz_drop_buffer(context, buffer);
        pdf_drop_obj(context, resources);
        fz_drop_image(context, image);
        fz_drop_pixmap(context, pixmap);
        pdf_drop_document(context, document);
    }
    fz_catch(context)
    {
        ok = false;
    }
    fz_drop_context(context);
    return ok;
}

bool isNear(QRgb actual, QRgb expected)
{
    const int tolerance = 12; // JPEG at a low quality, away from the edge between the halves
    return qAbs(qRed(actual) - qRed(expected)) <= tolerance &&
           qAbs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           qAbs(qBlue(actual) - qBlue(expected)) <= tolerance;
}
} // namespace

void TestDocToolPdf::shrinksLargePicturesEvenly_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<bool>("grey");
    QTest::addColumn<QSize>("expected");

    // The longest side allowed is 600 + 24 * quality; the other keeps the proportions, rounded down.
    QTest::newRow("quality 10, colour") << 10 << false << QSize(840, 350);
    QTest::newRow("quality 10, grey") << 10 << true << QSize(840, 350);
    QTest::newRow("quality 50, colour") << 50 << false << QSize(1800, 750);
}

void TestDocToolPdf::shrinksLargePicturesEvenly()
{
    QFETCH(int, quality);
    QFETCH(bool, grey);
    QFETCH(QSize, expected);

    // A 2400 x 1000 picture: its left half one colour, its right half another.
    const QRgb left = grey ? qRgb(60, 60, 60) : qRgb(200, 40, 30);
    const QRgb right = grey ? qRgb(210, 210, 210) : qRgb(30, 50, 190);
    QImage picture(2400, 1000, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    {
        QPainter painter(&picture);
        painter.fillRect(0, 0, 1200, 1000, QColor(left));
        painter.fillRect(1200, 0, 1200, 1000, QColor(right));
    }
    const QString input = m_dir.filePath(QString("halves %1 %2.pdf").arg(quality).arg(grey));
    QVERIFY(writeImagePdf(input, picture));
    QCOMPARE(firstImageOf(input), picture);

    const QString output = m_dir.filePath(QString("halves %1 %2 small.pdf").arg(quality).arg(grey));
    QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + input, "-output=" + output,
                         "-quality=" + QString::number(quality)}),
             0);
    const QImage shrunk = firstImageOf(output);
    QCOMPARE(shrunk.size(), expected);
    QCOMPARE(shrunk.format(), grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    // Each half keeps its colour over its whole height, the edge stays in the middle.
    for (int y : {2, expected.height() / 2, expected.height() - 3}) {
        for (int x : {2, expected.width() / 4, expected.width() / 2 - 12}) {
            QVERIFY2(isNear(shrunk.pixel(x, y), left), qPrintable(QString("%1,%2").arg(x).arg(y)));
            QVERIFY2(isNear(shrunk.pixel(expected.width() - 1 - x, y), right),
                     qPrintable(QString("%1,%2").arg(expected.width() - 1 - x).arg(y)));
        }
    }
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
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + parts.join('*'), "-output=" + output}, &error),
             0);
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
        QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + split, "-output=" + part, "-quality=50"}),
                 0);
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
        body += QString::fromUtf8("<p style=\"page-break-after: always\">第 %1 页 page %1</p>")
                    .arg(page)
                    .toUtf8();
    file.write(body + "</body></html>");
    file.close();
    const QString profile = QUrl::fromLocalFile(m_dir.filePath("lo-profile")).toString(QUrl::FullyEncoded);
    QByteArray said;
    QCOMPARE(TestEnv::runTool("soffice",
                              {"-env:UserInstallation=" + profile, "--headless", "--norestore",
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
               "[ /Rect [70 690 300 720] /Action << /Subtype /URI /URI (https://example.org/) >> /Subtype "
               "/Link /ANN pdfmark\n"
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
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + head, "-pageRange=1-2"}),
             0);
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + tail, "-pageRange=3-3"}),
             0);
    // The link to page 3 stays, doing nothing, in a file without page 3.
    QCOMPARE(PdfFactory::annotations(head), QStringList({"1:Link", "1:Link", "2:Text"}));

    const QString whole = m_dir.filePath("annotated whole.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + whole, "-pageRange=1-3"}),
             0);
    const QString merged = m_dir.filePath("annotated merged.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + tail + '*' + whole, "-output=" + merged}), 0);
    QCOMPARE(PdfFactory::annotations(merged), QStringList({"2:Link", "2:Link->4", "3:Text"}));
}

void TestDocToolPdf::cutsAndMergesKeepTheWholeDocument()
{
    VX_REQUIRE_TOOL("qpdf");
    // Chapters of 7 pages across ranges of 5: every range boundary cuts through a chapter.
    const QString input = m_dir.filePath("manual.pdf");
    QVERIFY(PdfFactory::writeManual(input, 23, 7));
    QVERIFY(PdfFactory::objectsInStreams(input) > 0);
    const QStringList outline = PdfFactory::outlineTree(input);
    // 4 chapters, 7 sections, 6 subsections, one web bookmark.
    QCOMPARE(outline.size(), 18);
    QCOMPARE(outline.filter(QRegularExpression("^    Subsection")).size(), 6);
    QCOMPARE(PdfFactory::linkTargets(input).size(), 23 * 4);
    QCOMPARE(PdfFactory::linkTargets(input).filter(" none").size(), 0);

    QStringList parts;
    for (int first = 1; first <= 23; first += 5) {
        const int last = qMin(first + 4, 23);
        const QString split = m_dir.filePath(QString("manual_%1s.pdf").arg(first));
        const QString part = m_dir.filePath(QString("manual_%1.pdf").arg(first));
        QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + split,
                             QString("-pageRange=%1-%2").arg(first).arg(last)}),
                 0);
        QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + split, "-output=" + part, "-quality=30"}),
                 0);
        parts << part;
    }
    const QString output = m_dir.filePath("manual merged.pdf");
    QString error;
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + parts.join('*'), "-output=" + output}, &error),
             0);
    QCOMPARE(error, QString());

    QCOMPARE(PdfFactory::pageCount(output), 23);
    QCOMPARE(PdfFactory::outlineTree(output), outline);
    QCOMPARE(PdfFactory::linkTargets(output), PdfFactory::linkTargets(input));
    QCOMPARE(PdfFactory::namedDestinations(output), PdfFactory::namedDestinations(input));
    QCOMPARE(PdfFactory::pageLabels(output), PdfFactory::pageLabels(input));
    QCOMPARE(PdfFactory::pageLabels(output).mid(0, 5), QStringList({"i", "ii", "iii", "1", "2"}));
    QCOMPARE(PdfFactory::documentInfo(output), PdfFactory::documentInfo(input));
    QCOMPARE(PdfFactory::xmpMetadata(output), PdfFactory::xmpMetadata(input));
    QVERIFY(!PdfFactory::xmpMetadata(output).isEmpty());
    QCOMPARE(PdfFactory::openView(output), QString("page 2 Fit"));
    // Written compactly, and smaller than what went in.
    QVERIFY(PdfFactory::objectsInStreams(output) > 0);
    QVERIFY(QFileInfo(output).size() < QFileInfo(input).size());
    QCOMPARE(TestEnv::runTool("qpdf", {"--check", output}), 0);
}

void TestDocToolPdf::cutOpenedAloneIsWhole()
{
    VX_REQUIRE_TOOL("qpdf");
    const QString input = m_dir.filePath("alone.pdf");
    QVERIFY(PdfFactory::writeManual(input, 23, 7));
    const QString cut = m_dir.filePath("alone 6-10.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + cut, "-pageRange=6-10"}),
             0);

    QByteArray said;
    QCOMPARE(TestEnv::runTool("qpdf", {"--check", cut}, &said), 0);
    QVERIFY2(said.contains("No syntax or stream encoding errors"), said.constData());
    QCOMPARE(PdfFactory::pageCount(cut), 5);
    QVERIFY(PdfFactory::objectsInStreams(cut) > 0);
    // The bookmarks that lead into pages 6 to 10, on the cut's pages. Chapter 1 (page 1) and its
    // section 1.2 (page 5) stay for subsection 1.2.1 on page 6, and lead there.
    QCOMPARE(
        PdfFactory::outlineTree(cut),
        QStringList({"Chapter 1: pages from 1 + -> page 1 XYZ 0 842 0",
                     "  Section 1.2 - -> page 1 XYZ 0 842 0", "    Subsection 1.2.1 -> page 1 XYZ 0 842 0",
                     "Chapter 2: pages from 8 - -> page 3 XYZ 36 800 null",
                     "  Section 2.1 + -> page 4 FitH 500", "    Subsection 2.1.1 -> page 5 XYZ 0 842 0"}));
    // Links into the cut lead to its pages; those that leave it do nothing; web links stay.
    const QStringList links = PdfFactory::linkTargets(cut);
    QCOMPARE(links.size(), 5 * 4);
    QCOMPARE(links.filter(" URI https://example.org/").size(), 5);
    const QStringList inputLinks = PdfFactory::linkTargets(input).mid(5 * 4, 5 * 4);
    for (int i = 0; i < links.size(); ++i) {
        const QRegularExpressionMatch target =
            QRegularExpression("^(\\d+): page (\\d+) (.*)$").match(inputLinks[i]);
        if (!target.hasMatch()) {
            QCOMPARE(links[i], QString("%1: %2").arg(i / 4 + 1).arg(inputLinks[i].section(": ", 1)));
            continue;
        }
        const int page = target.captured(2).toInt();
        const QString expected = page >= 6 && page <= 10
                                     ? QString("page %1 %2").arg(page - 5).arg(target.captured(3))
                                     : QString("none");
        QCOMPARE(links[i], QString("%1: %2").arg(i / 4 + 1).arg(expected));
    }
    // Named destinations into the cut, page labels and metadata as in the whole document.
    QCOMPARE(PdfFactory::namedDestinations(cut),
             QStringList({"page.10 -> page 5 XYZ 0 842 0", "page.6 -> page 1 XYZ 0 842 0",
                          "page.7 -> page 2 XYZ 0 842 0", "page.8 -> page 3 XYZ 0 842 0",
                          "page.9 -> page 4 XYZ 0 842 0"}));
    QCOMPARE(PdfFactory::pageLabels(cut), PdfFactory::pageLabels(input).mid(5, 5));
    QCOMPARE(PdfFactory::documentInfo(cut), PdfFactory::documentInfo(input));
    QCOMPARE(PdfFactory::xmpMetadata(cut), PdfFactory::xmpMetadata(input));
    QCOMPARE(PdfFactory::openView(cut), QString());
}

namespace
{
// Puts an editing program's private data (400 KB that does not compress) on the first page of the
// PDF at path, under /PieceInfo, as drawing programs do.
bool addPrivateData(const QString& path)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = QFile::encodeName(path);
    const QByteArray written = name + ".private";
    QByteArray noise(400 * 1024, '\0');
    quint32 state = 12345;
    for (char& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    volatile bool ok = true;
    pdf_document* document = nullptr;
    fz_buffer* buffer = nullptr;
    fz_var(document);
    fz_var(buffer);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        buffer = fz_new_buffer_from_copied_data(
            context, reinterpret_cast<const unsigned char*>(noise.constData()), size_t(noise.size()));
        pdf_obj* data = pdf_add_stream(context, document, buffer, nullptr, 0);
        pdf_obj* piece =
            pdf_dict_puts_dict(context, pdf_lookup_page_obj(context, document, 0), "PieceInfo", 1);
        pdf_obj* application = pdf_dict_puts_dict(context, piece, "Illustrator", 2);
        pdf_dict_puts_drop(context, application, "Private", data);
        pdf_save_document(context, document, written.constData(), nullptr);
    }
    fz_always(context)
    {
        fz_drop_buffer(context, buffer);
        pdf_drop_document(context, document);
    }
    fz_catch(context)
    {
        ok = false;
    }
    fz_drop_context(context);
    return ok && QFile::remove(path) && QFile::rename(QString::fromUtf8(written), path);
}
} // namespace

void TestDocToolPdf::dropsOtherApplicationsPrivateData()
{
    PdfFactory::Options options;
    options.pages = 2;
    const QString input = makePdf("drawing.pdf", options);
    QVERIFY(!input.isEmpty());
    QVERIFY(addPrivateData(input));
    QVERIFY(QFileInfo(input).size() > 400 * 1024);
    QFile in(input);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QVERIFY(in.readAll().contains("/PieceInfo"));

    const QString output = m_dir.filePath("drawing_c.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=2", "-input=" + input, "-output=" + output, "-quality=90"}), 0);
    QCOMPARE(PdfFactory::pageCount(output), 2);
    QVERIFY2(QFileInfo(output).size() < 100 * 1024, qPrintable(QString::number(QFileInfo(output).size())));
    VX_REQUIRE_TOOL("qpdf");
    QCOMPARE(TestEnv::runTool("qpdf",
                              {"--qdf", "--object-streams=disable", output, m_dir.filePath("drawing.qdf")}),
             0);
    QFile expanded(m_dir.filePath("drawing.qdf"));
    QVERIFY(expanded.open(QIODevice::ReadOnly));
    QVERIFY(!expanded.readAll().contains("/PieceInfo"));
}

namespace
{
// A one-page PDF whose page draws with the given content stream, stored as it is.
bool writeContentPdf(const QString& path, const QByteArray& contents)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = QFile::encodeName(path);
    volatile bool ok = true;
    pdf_document* document = nullptr;
    fz_buffer* buffer = nullptr;
    fz_var(document);
    fz_var(buffer);
    fz_try(context)
    {
        document = pdf_create_document(context);
        buffer = fz_new_buffer_from_copied_data(
            context, reinterpret_cast<const unsigned char*>(contents.constData()), size_t(contents.size()));
        pdf_obj* page = pdf_add_page(context, document, fz_make_rect(0, 0, 200, 200), 0, nullptr, buffer);
        pdf_insert_page(context, document, -1, page);
        pdf_drop_obj(context, page);
        pdf_save_document(context, document, name.constData(), nullptr);
    }
    fz_always(context)
    {
        fz_drop_buffer(context, buffer);
        pdf_drop_document(context, document);
    }
    fz_catch(context)
    {
        ok = false;
    }
    fz_drop_context(context);
    return ok;
}

// The decoded content stream of every page.
QList<QByteArray> pageContents(const QString& path)
{
    QList<QByteArray> contents;
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return contents;
    const QByteArray name = QFile::encodeName(path);
    pdf_document* document = nullptr;
    fz_buffer* buffer = nullptr;
    fz_var(document);
    fz_var(buffer);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        for (int page = 0; page < pdf_count_pages(context, document); ++page) {
            pdf_obj* stream =
                pdf_dict_get(context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Contents));
            if (pdf_is_array(context, stream))
                stream = pdf_array_get(context, stream, 0);
            buffer = pdf_load_stream(context, stream);
            unsigned char* data = nullptr;
            const size_t size = fz_buffer_storage(context, buffer, &data);
            contents.append(QByteArray(reinterpret_cast<const char*>(data), int(size)));
            fz_drop_buffer(context, buffer);
            buffer = nullptr;
        }
    }
    fz_always(context)
    {
        fz_drop_buffer(context, buffer);
        pdf_drop_document(context, document);
    }
    fz_catch(context)
    {
        contents.clear();
    }
    fz_drop_context(context);
    return contents;
}
// Gives the first page of the PDF at path a transparency group, or tells how many pages have one.
int transparencyGroups(const QString& path, bool add)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return -1;
    const QByteArray name = QFile::encodeName(path);
    const QByteArray written = name + ".group";
    volatile int count = 0;
    pdf_document* document = nullptr;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        if (add) {
            pdf_obj* group =
                pdf_dict_put_dict(context, pdf_lookup_page_obj(context, document, 0), PDF_NAME(Group), 3);
            pdf_dict_put(context, group, PDF_NAME(S), PDF_NAME(Transparency));
            pdf_dict_put(context, group, PDF_NAME(CS), PDF_NAME(DeviceRGB));
            pdf_dict_put_bool(context, group, PDF_NAME(I), 1);
            pdf_save_document(context, document, written.constData(), nullptr);
        }
        for (int page = 0; page < pdf_count_pages(context, document); ++page) {
            pdf_obj* group =
                pdf_dict_get(context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Group));
            if (pdf_name_eq(context, pdf_dict_get(context, group, PDF_NAME(S)), PDF_NAME(Transparency)))
                ++count;
        }
    }
    fz_always(context)
    {
        pdf_drop_document(context, document);
    }
    fz_catch(context)
    {
        count = -1;
    }
    fz_drop_context(context);
    if (add && count >= 0 && !(QFile::remove(path) && QFile::rename(QString::fromUtf8(written), path)))
        return -1;
    return count;
}
} // namespace

void TestDocToolPdf::pagesKeepTheirTransparencyGroup()
{
    // Without its group a page that blends (cairo, LibreOffice and Illustrator write them) renders
    // in other colours.
    const QString input = m_dir.filePath("blending.pdf");
    QVERIFY(writeContentPdf(input, "0 0 m 100 100 l S"));
    QCOMPARE(transparencyGroups(input, true), 1);
    const QString cut = m_dir.filePath("blending cut.pdf");
    const QString merged = m_dir.filePath("blending merged.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + cut, "-pageRange=1-1"}), 0);
    QCOMPARE(transparencyGroups(cut, false), 1);
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + cut + '*' + input, "-output=" + merged}), 0);
    QCOMPARE(transparencyGroups(merged, false), 2);
}

void TestDocToolPdf::mergeKeepsPagesWhoseContentsLookAlike()
{
    // Two pages whose content streams have the same dictionary and length but other bytes: storing
    // identical objects once must not take one for the other.
    const QByteArray first = "0 0 m 100 100 l S";
    const QByteArray second = "0 0 m 100 190 l S";
    const QString a = m_dir.filePath("look-alike a.pdf");
    const QString b = m_dir.filePath("look-alike b.pdf");
    QVERIFY(writeContentPdf(a, first));
    QVERIFY(writeContentPdf(b, second));
    const QString output = m_dir.filePath("look-alike merged.pdf");
    QCOMPARE(runDocTool({"-type=3", "-subtype=1", "-input=" + a + '*' + b + '*' + a, "-output=" + output}),
             0);
    QCOMPARE(pageContents(output), QList<QByteArray>({first, second, first}));
}

namespace
{
pdf_obj* pageDestination(fz_context* context, pdf_document* document, int page, const char* kind)
{
    pdf_obj* array = pdf_new_array(context, document, 5);
    pdf_array_push(context, array, pdf_lookup_page_obj(context, document, page));
    pdf_array_push_name(context, array, kind);
    if (std::strcmp(kind, "XYZ") == 0) {
        pdf_array_push_int(context, array, 0);
        pdf_array_push_int(context, array, 800);
        pdf_array_push_int(context, array, 0);
    }
    return array;
}

void putKids(fz_context* context, pdf_obj* node, std::initializer_list<pdf_obj*> kids)
{
    pdf_obj* array = pdf_dict_put_array(context, node, PDF_NAME(Kids), int(kids.size()));
    for (pdf_obj* kid : kids)
        pdf_array_push(context, array, kid);
}

void putName(fz_context* context, pdf_document* document, pdf_obj* node, const char* name, int page,
             const char* kind)
{
    pdf_obj* pairs = pdf_dict_get(context, node, PDF_NAME(Names));
    if (!pairs)
        pairs = pdf_dict_put_array(context, node, PDF_NAME(Names), 4);
    pdf_array_push_string(context, pairs, name, std::strlen(name));
    pdf_array_push_drop(context, pairs, pageDestination(context, document, page, kind));
}

void putLabel(fz_context* context, pdf_document* document, pdf_obj* node, int start, const char* style,
              int first)
{
    pdf_obj* numbers = pdf_dict_put_array(context, node, PDF_NAME(Nums), 2);
    pdf_array_push_int(context, numbers, start);
    pdf_obj* label = pdf_new_dict(context, document, 2);
    pdf_array_push_drop(context, numbers, label);
    pdf_dict_put_name(context, label, PDF_NAME(S), style);
    if (first != 1)
        pdf_dict_puts_drop(context, label, "St", pdf_new_int(context, first));
}

// Named destinations and page labels in trees of several levels whose /Kids lead back up and
// into nodes met before, as damaged files have them, and a link on page 3 that leads by name.
void addLoopingTrees(fz_context* context, pdf_document* document)
{
    pdf_obj* catalog = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
    pdf_obj* nodes[7] = {};
    fz_try(context)
    {
        for (pdf_obj*& node : nodes)
            node = pdf_add_new_dict(context, document, 3);
        pdf_obj* const root = nodes[0];
        pdf_obj* const middle = nodes[1];
        pdf_obj* const first = nodes[2];
        pdf_obj* const second = nodes[3];
        pdf_dict_put(context, pdf_dict_put_dict(context, catalog, PDF_NAME(Names), 1), PDF_NAME(Dests), root);
        putKids(context, root, {middle});
        putKids(context, middle, {first, second, root, middle});
        putName(context, document, first, "alpha", 1, "Fit");
        putName(context, document, first, "beta", 2, "Fit");
        putName(context, document, second, "gamma", 4, "XYZ");
        putName(context, document, second, "omega", 0, "Fit");
        putKids(context, second, {first, middle, root, second});

        pdf_obj* const labels = nodes[4];
        pdf_obj* const roman = nodes[5];
        pdf_obj* const decimal = nodes[6];
        pdf_dict_puts(context, catalog, "PageLabels", labels);
        putKids(context, labels, {roman, decimal, labels});
        putLabel(context, document, roman, 0, "r", 1);
        putLabel(context, document, decimal, 3, "D", 7);
        putKids(context, decimal, {roman, decimal, labels});

        pdf_obj* link = pdf_add_new_dict(context, document, 4);
        pdf_dict_put(context, link, PDF_NAME(Type), PDF_NAME(Annot));
        pdf_dict_put(context, link, PDF_NAME(Subtype), PDF_NAME(Link));
        pdf_dict_put_rect(context, link, PDF_NAME(Rect), fz_make_rect(72, 72, 200, 90));
        pdf_obj* action = pdf_dict_put_dict(context, link, PDF_NAME(A), 2);
        pdf_dict_put(context, action, PDF_NAME(S), PDF_NAME(GoTo));
        pdf_dict_put_text_string(context, action, PDF_NAME(D), "gamma");
        pdf_array_push_drop(
            context,
            pdf_dict_put_array(context, pdf_lookup_page_obj(context, document, 2), PDF_NAME(Annots), 1),
            link);
    }
    fz_always(context)
    {
        for (pdf_obj* node : nodes)
            pdf_drop_obj(context, node);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

bool writeLoopingTrees(const QString& path)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = QFile::encodeName(path);
    const QByteArray written = name + ".trees";
    volatile bool ok = true;
    pdf_document* document = nullptr;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        addLoopingTrees(context, document);
        pdf_save_document(context, document, written.constData(), nullptr);
    }
    fz_always(context)
    {
        pdf_drop_document(context, document);
    }
    fz_catch(context)
    {
        ok = false;
    }
    fz_drop_context(context);
    return ok && QFile::remove(path) && QFile::rename(QString::fromUtf8(written), path);
}
} // namespace

void TestDocToolPdf::readsTreesWhoseKidsLoop()
{
    PdfFactory::Options options;
    options.pages = 6;
    const QString input = makePdf("looping trees.pdf", options);
    QVERIFY(!input.isEmpty());
    QVERIFY(writeLoopingTrees(input));

    const QString cut = m_dir.filePath("looping trees 2-6.pdf");
    QString error;
    QString output;
    QCOMPARE(runDocTool({"-type=3", "-subtype=3", "-input=" + input, "-output=" + cut, "-pageRange=2-6"},
                        &error, &output),
             0);
    QCOMPARE(error, QString());
    // The loops cut are named in one line, which the PDF engine logs.
    QCOMPARE(output, QString("left out: a loop in a name tree; a loop in a number tree"));
    QCOMPARE(PdfFactory::pageCount(cut), 5);
    // Every name once, on the cut's pages; the one whose page stayed behind is gone.
    QCOMPARE(PdfFactory::namedDestinations(cut),
             QStringList({"alpha -> page 1 Fit", "beta -> page 2 Fit", "gamma -> page 4 XYZ 0 800 0"}));
    QCOMPARE(PdfFactory::pageLabels(cut), QStringList({"ii", "iii", "7", "8", "9"}));
    QCOMPARE(PdfFactory::linkTargets(cut), QStringList({"2: page 4 XYZ 0 800 0"}));
}

void TestDocToolPdf::rangesKeepLayersNotesAndRestrictions_data()
{
    QTest::addColumn<QString>("feature");
    QTest::addColumn<QStringList>("layers");
    QTest::addColumn<int>("notes");
    QTest::addColumn<bool>("printable");
    QTest::addColumn<int>("carriedLines"); // of PdfCarriedFeatures::describe, for the input

    const QString everyPage = " 1 2 3 4 5 6 7 8 9 10 11 12";
    QTest::newRow("layer off by default")
        << "layers"
        << QStringList(
               {"Answers off:" + everyPage, "Questions on:" + everyPage, "view Exam: Questions Answers"})
        << 0 << true << 0;
    QTest::newRow("12 notes with popups") << "notes" << QStringList() << 12 << true << 0;
    QTest::newRow("owner password forbids printing") << "owner" << QStringList() << 0 << false << 0;
    // NeedAppearances and six fields; two files and one annotation's; six lines of the catalog and
    // the document, 4 chapters and 24 elements.
    QTest::newRow("filled form") << "form" << QStringList() << 0 << true << 7;
    QTest::newRow("attached files") << "attachments" << QStringList() << 0 << true << 3;
    QTest::newRow("tagged structure") << "tagged" << QStringList() << 0 << true << 35;
}

void TestDocToolPdf::rangesKeepLayersNotesAndRestrictions()
{
    QFETCH(QString, feature);
    QFETCH(QStringList, layers);
    QFETCH(int, notes);
    QFETCH(bool, printable);
    QFETCH(int, carriedLines);
    VX_REQUIRE_TOOL("qpdf");

    const QString input = makePdf(feature + " carried.pdf", PdfFactory::carrying(feature));
    QVERIFY(!input.isEmpty());
    QCOMPARE(PdfCarriedFeatures::describe(input, feature).size(), carriedLines);
    QCOMPARE(PdfFactory::layers(input), layers);
    QCOMPARE(PdfFactory::notesWithPopups(input), notes);
    QByteArray inputEncryption;
    QCOMPARE(TestEnv::runTool("qpdf", {"--show-encryption", input}, &inputEncryption), 0);
    QCOMPARE(inputEncryption.contains("print high resolution: not allowed"), !printable);

    // Cut in ranges of 5 pages, each compressed, then merged: as the engine does.
    const QString output = m_dir.filePath(feature + " carried merged.pdf");
    QString error;
    QVERIFY(cutCompressMerge(input, output, 5, 30, &error));
    QCOMPARE(error, QString());
    QCOMPARE(PdfFactory::pageCount(output), 12);
    QVERIFY(QFileInfo(output).size() < QFileInfo(input).size());
    QCOMPARE(PdfFactory::layers(output), layers);
    QCOMPARE(PdfFactory::notesWithPopups(output), notes);
    QCOMPARE(PdfFactory::annotations(output), PdfFactory::annotations(input));
    QCOMPARE(PdfCarriedFeatures::describe(output, feature), PdfCarriedFeatures::describe(input, feature));
    if (feature == "form") {
        // The typed name is still drawn on its page, by the widget's appearance.
        VX_REQUIRE_TOOL("pdftotext");
        QByteArray text;
        QCOMPARE(TestEnv::runTool("pdftotext", {"-f", "1", "-l", "1", output, "-"}, &text), 0);
        QVERIFY(text.contains("Zhang Wei"));
    }
    QByteArray outputEncryption;
    QCOMPARE(TestEnv::runTool("qpdf", {"--show-encryption", output}, &outputEncryption), 0);
    QCOMPARE(outputEncryption, inputEncryption);
}

namespace
{
// Page 1 of the PDF at path as poppler draws it, at 50 dpi.
QImage renderedByPoppler(const QString& path)
{
    const QString prefix = path + "-page";
    if (TestEnv::runTool("pdftoppm",
                         {"-r", "50", "-f", "1", "-l", "1", "-singlefile", "-png", path, prefix}) != 0)
        return QImage();
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB888);
}

// Peak signal-to-noise ratio in dB of two images of equal size; 0 for images that cannot be held
// against each other.
double psnr(const QImage& a, const QImage& b)
{
    if (a.isNull() || a.size() != b.size())
        return 0;
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int x = 0; x < a.width() * 3; ++x)
            squares += double(p[x] - q[x]) * double(p[x] - q[x]);
    }
    const double mean = squares / (double(a.width()) * a.height() * 3);
    return mean > 0 ? 10 * std::log10(255.0 * 255.0 / mean) : 99;
}
} // namespace

void TestDocToolPdf::rangesKeepTheColoursOfPictures()
{
    VX_REQUIRE_TOOL("pdftoppm");
    // The same photographs in RGB, in DeviceCMYK and in CMYK with a printer's profile, each
    // compressed alike: drawn by poppler, each result must stay as close to its source as RGB does.
    QMap<QString, double> scores;
    for (const QString space : {"rgb", "cmyk", "icc-cmyk"}) {
        PdfFactory::Options options = PdfFactory::carrying(space);
        options.pages = 4;
        options.carried = space == "rgb" ? QString() : space;
        const QString input = makePdf(space + " pictures.pdf", options);
        QVERIFY(!input.isEmpty());
        const QString output = m_dir.filePath(space + " pictures merged.pdf");
        QString error;
        QVERIFY2(cutCompressMerge(input, output, 2, 50, &error), qPrintable(error));
        QVERIFY(QFileInfo(output).size() < QFileInfo(input).size());
        int jpegs = 0;
        QCOMPARE(PdfFactory::imageCount(output, &jpegs), 4);
        QCOMPARE(jpegs, 4);
        QCOMPARE(PdfCarriedFeatures::describe(output, space), PdfCarriedFeatures::describe(input, space));
        scores[space] = psnr(renderedByPoppler(input), renderedByPoppler(output));
    }
    QVERIFY2(scores["rgb"] > 30, qPrintable(QString::number(scores["rgb"])));
    for (const QString space : {"cmyk", "icc-cmyk"})
        QVERIFY2(
            scores[space] > scores["rgb"] - 3,
            qPrintable(QString("%1: %2 dB, RGB %3 dB").arg(space).arg(scores[space]).arg(scores["rgb"])));
}

void TestDocToolPdf::referencesToMissingObjectsReadAsNull_data()
{
    QTest::addColumn<QString>("feature");
    QTest::addColumn<QString>("place");

    QTest::newRow("attachment") << "attachments"
                                << "attachment";
    QTest::newRow("script") << "tagged"
                            << "script";
    QTest::newRow("form field") << "form"
                                << "form field";
    QTest::newRow("structure element") << "tagged"
                                       << "structure element";
    QTest::newRow("annotation") << "notes"
                                << "annotation";
    QTest::newRow("font") << "layers"
                          << "font";
}

void TestDocToolPdf::referencesToMissingObjectsReadAsNull()
{
    QFETCH(QString, feature);
    QFETCH(QString, place);

    const QString input = makePdf(place + " lost.pdf", PdfFactory::carrying(feature));
    QVERIFY(!input.isEmpty());
    const QStringList carried = PdfCarriedFeatures::describe(input, feature);
    const QStringList annotations = PdfFactory::annotations(input);
    const QStringList texts = PdfFactory::pageTexts(input);
    // A reference to an object the file does not hold reads as null: viewers open the file.
    QVERIFY(PdfCarriedFeatures::addMissingReference(input, place));
    QCOMPARE(PdfFactory::pageCount(input), 12);

    // Cut in ranges of 5 pages, each compressed, then merged: as the engine does.
    const QString output = m_dir.filePath(place + " lost merged.pdf");
    QString error;
    QVERIFY2(cutCompressMerge(input, output, 5, 30, &error), qPrintable(error));
    QCOMPARE(error, QString());
    // Every page and everything else kept; the entry that names nothing is left out.
    QCOMPARE(PdfFactory::pageCount(output), 12);
    QVERIFY(QFileInfo(output).size() < QFileInfo(input).size());
    QCOMPARE(PdfCarriedFeatures::describe(output, feature), carried);
    QCOMPARE(PdfFactory::annotations(output), annotations);
    QCOMPARE(PdfFactory::pageTexts(output), texts);
}

QTEST_MAIN(TestDocToolPdf)
#include "tst_doctoolpdf.moc"
