#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "PdfFactory.h"
#include "QPdfDocument.h"

// The MuPDF reader: opening, page count, passwords and page rendering fitted into 1920 x 1920.
class TestQPdfDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rendersFittedPages_data();
    void rendersFittedPages();
    void refusesWhatItCannotOpen();
    void unlocksWithThePassword();

private:
    QTemporaryDir m_dir;
};

void TestQPdfDocument::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestQPdfDocument::rendersFittedPages_data()
{
    QTest::addColumn<QSizeF>("points");
    QTest::addColumn<QSize>("pixels");

    QTest::newRow("A4 stays at one pixel per point") << QSizeF(595, 842) << QSize(595, 842);
    QTest::newRow("3840 x 2160 halves") << QSizeF(3840, 2160) << QSize(1920, 1080);
    QTest::newRow("2000 x 1000 at 0.96") << QSizeF(2000, 1000) << QSize(1920, 960);
}

void TestQPdfDocument::rendersFittedPages()
{
    QFETCH(QSizeF, points);
    QFETCH(QSize, pixels);

    const QString path = m_dir.filePath("page.pdf");
    QVERIFY(PdfFactory::writeBlank(path, {QSizeF(100, 100), points}));
    QPdfDocument document(path, nullptr);
    QVERIFY(document.open());
    QCOMPARE(document.pageCount(), 2);
    QVERIFY(!document.needsPassword());

    const QString png = m_dir.filePath("page.png");
    int width = -1;
    document.renderPageToPng(1, QFile::encodeName(png), &width);
    QCOMPARE(width, pixels.width());
    QCOMPARE(QImage(png).size(), pixels);
}

void TestQPdfDocument::refusesWhatItCannotOpen()
{
    QPdfDocument nothing(nullptr);
    QVERIFY(nothing.needsPassword());
    QVERIFY(!nothing.open());
    QCOMPARE(nothing.pageCount(), 0);

    const QString path = m_dir.filePath("note.pdf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plain words\n");
    file.close();
    QPdfDocument notPdf(path, nullptr);
    QVERIFY(!notPdf.open());
    QCOMPARE(notPdf.pageCount(), 0);
    QVERIFY(notPdf.needsPassword());

    int width = -1;
    notPdf.renderPageToPng(0, QFile::encodeName(m_dir.filePath("none.png")), &width);
    QCOMPARE(width, 0);
}

void TestQPdfDocument::unlocksWithThePassword()
{
    const QString path = m_dir.filePath("locked.pdf");
    PdfFactory::Options options;
    options.pages = 3;
    options.userPassword = "opensesame";
    QVERIFY(PdfFactory::write(path, options));

    QPdfDocument document(path, nullptr);
    QVERIFY(document.open());
    QVERIFY(document.needsPassword());
    QCOMPARE(document.pageCount(), 0);
    QVERIFY(!document.authenticate("wrong"));
    QVERIFY(!document.isAuthenticated());
    QVERIFY(document.authenticate("opensesame"));
    QVERIFY(document.isAuthenticated());
    QCOMPARE(document.pageCount(), 3);
}

QTEST_MAIN(TestQPdfDocument)
#include "tst_qpdfdocument.moc"
