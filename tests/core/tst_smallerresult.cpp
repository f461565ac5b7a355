#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "PlacedResults.h"
#include "SmallerResult.h"
#include "TestEnv.h"
#include "Tool.h"

Q_DECLARE_METATYPE(SmallerResult::Outcome)

// The rule that a result in its input's format is never larger than the input, on real files.
class SmallerResultTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sameFormat_data();
    void sameFormat();
    void settle_data();
    void settle();
    void failedCopyKeepsTheEarlierResult();
    void oneFileAsBothIsLeftAlone();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    static bool write(const QString& path, const QByteArray& bytes);
    static QByteArray read(const QString& path);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void SmallerResultTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    TestEnv::isolate(*m_dir);
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
}

bool SmallerResultTest::write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray SmallerResultTest::read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("cannot read " + path.toUtf8());
}

void SmallerResultTest::sameFormat_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("same");
    QTest::newRow("png") << "/a/x.png"
                         << "/b/c_x.png" << true;
    QTest::newRow("case ignored") << "/a/x.PNG"
                                  << "/b/c_x.png" << true;
    QTest::newRow("jpeg is jpg") << "/a/x.jpeg"
                                 << "/b/c_x.jpg" << true;
    QTest::newRow("JPG is jpeg") << "/a/x.JPG"
                                 << "/b/c_x.jpeg" << true;
    QTest::newRow("bmp kept") << "/a/x.bmp"
                              << "/b/c_x.bmp" << true;
    QTest::newRow("png to jpg") << "/a/x.png"
                                << "/b/c_x.jpg" << false;
    QTest::newRow("gif to jpg") << "/a/x.gif"
                                << "/b/c_x.jpg" << false;
    QTest::newRow("mkv kept") << "/a/x.mkv"
                              << "/b/c_x.mkv" << true;
    QTest::newRow("mkv to mp4") << "/a/x.mkv"
                                << "/b/c_x.mp4" << false;
    QTest::newRow("docx") << "/a/x.docx"
                          << "/b/c_x.docx" << true;
    QTest::newRow("doc to docx") << "/a/x.doc"
                                 << "/b/c_x.docx" << false;
    QTest::newRow("ppt to pptx") << "/a/x.ppt"
                                 << "/b/c_x.pptx" << false;
    QTest::newRow("last suffix counts") << "/a/x.tar.gz"
                                        << "/b/c_x.gz" << true;
    QTest::newRow("no suffix and one") << "/a/x"
                                       << "/b/c_x.png" << false;
}

void SmallerResultTest::sameFormat()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(bool, same);
    QCOMPARE(SmallerResult::sameFormat(input, output), same);
    QCOMPARE(SmallerResult::sameFormat(output, input), same);
}

void SmallerResultTest::settle_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("inputSize");
    QTest::addColumn<int>("outputSize");
    QTest::addColumn<SmallerResult::Outcome>("outcome");

    const SmallerResult::Outcome asMade = SmallerResult::Outcome::AsMade;
    const SmallerResult::Outcome copied = SmallerResult::Outcome::Copied;
    QTest::newRow("smaller stays") << "x.gif"
                                   << "c_x.gif" << 1000 << 999 << asMade;
    QTest::newRow("equal is not smaller") << "x.gif"
                                          << "c_x.gif" << 1000 << 1000 << copied;
    QTest::newRow("larger is replaced") << "x.png"
                                        << "c_x.png" << 1000 << 1003 << copied;
    QTest::newRow("jpeg against jpg, any case") << "x.JPEG"
                                                << "c_x.jpg" << 300 << 533 << copied;
    QTest::newRow("bmp kept as a jpeg") << "x.bmp"
                                        << "c_x.bmp" << 158 << 330 << copied;
    QTest::newRow("larger than a chunk") << "x.mkv"
                                         << "c_x.mkv" << 2500000 << 2600000 << copied;
    QTest::newRow("empty input") << "x.docx"
                                 << "c_x.docx" << 0 << 10 << copied;
    QTest::newRow("made into jpg, larger") << "x.png"
                                           << "c_x.jpg" << 90 << 355 << asMade;
    QTest::newRow("made into mp4, larger") << "x.mkv"
                                           << "c_x.mp4" << 10712 << 20313 << asMade;
    QTest::newRow("legacy made into docx") << "x.doc"
                                           << "c_x.docx" << 100 << 150 << asMade;
}

void SmallerResultTest::settle()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(int, inputSize);
    QFETCH(int, outputSize);
    QFETCH(SmallerResult::Outcome, outcome);

    QByteArray inputBytes(inputSize, 'i');
    for (int i = 0; i < inputSize; ++i)
        inputBytes[i] = char(i * 31 % 251);
    const QByteArray outputBytes(outputSize, 'o');
    QVERIFY(write(path(input), inputBytes));
    QVERIFY(QDir(m_dir->path()).mkpath("job"));
    const QString written = path("job/written." + QFileInfo(output).suffix());
    QVERIFY(write(written, outputBytes));
    QVERIFY(write(path(output), "an earlier result"));
    QVERIFY(PlacedResults::record(path(output), path(input)));

    const SmallerResult result = SmallerResult::settle("image", path(input), written, path(output));
    QCOMPARE(result.outcome(), outcome);
    QVERIFY(!result.failed());
    if (outcome == SmallerResult::Outcome::Copied) {
        QVERIFY(result.copied());
        QCOMPARE(result.rate(), 1.0);
        QCOMPARE(read(path(output)), inputBytes);
        QCOMPARE(TestEnv::logLines(),
                 QStringList(
                     QString("image compress %1: the result is not smaller, kept a copy").arg(path(input))));
    } else {
        QVERIFY(!result.copied());
        QCOMPARE(result.rate(), double(outputSize) / double(inputSize));
        QCOMPARE(read(path(output)), outputBytes);
        QCOMPARE(TestEnv::logLines(), QStringList());
    }
    // The input is untouched, the written file is gone, and no passing file stays beside the output.
    QCOMPARE(read(path(input)), inputBytes);
    QVERIFY(!QFileInfo::exists(written));
    QStringList expected{input, output};
    expected.sort();
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), expected);
}

void SmallerResultTest::failedCopyKeepsTheEarlierResult()
{
    // The input went while the tool ran: there is nothing to compare with, nor to copy.
    QVERIFY(write(path("c_x.png"), "an earlier result"));
    QVERIFY(write(path("written.png"), QByteArray(500, 'o')));
    const SmallerResult result =
        SmallerResult::settle("image", path("x.png"), path("written.png"), path("c_x.png"));
    QVERIFY(result.failed());
    QCOMPARE(result.outcome(), SmallerResult::Outcome::Failed);
    QCOMPARE(result.rate(), 0.0);
    // What stands at the name is not recorded as the result of an input that is not there.
    QCOMPARE(result.failure(), "cannot copy the input to " + path("c_x_2.png"));
    QCOMPARE(read(path("c_x.png")), QByteArray("an earlier result"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"c_x.png", "written.png"}));
    // The caller tells the failure in its own words.
    QCOMPARE(TestEnv::logLines(), QStringList());
}

void SmallerResultTest::oneFileAsBothIsLeftAlone()
{
    const QByteArray bytes(700, 'x');
    QVERIFY(write(path("x.pdf"), bytes));
    QVERIFY(write(path("written.pdf"), "small"));
    const SmallerResult result =
        SmallerResult::settle("pdf", path("x.pdf"), path("written.pdf"), m_dir->path() + "/./x.pdf");
    QCOMPARE(result.outcome(), SmallerResult::Outcome::Failed);
    QCOMPARE(read(path("x.pdf")), bytes);
    QCOMPARE(TestEnv::logLines(), QStringList());
}

QTEST_GUILESS_MAIN(SmallerResultTest)
#include "tst_smallerresult.moc"
