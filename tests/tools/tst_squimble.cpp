// The compression tool on generated Word and PowerPoint packages: every level shrinks the
// pictures and nothing else, the package stays whole, and bad input ends in one clear failure.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "OoxmlPackage.h"
#include "TestEnv.h"

namespace
{
struct Run {
    int exitCode = -1;
    QStringList lines;
};

QString toolPath()
{
    return QCoreApplication::applicationDirPath() + "/tool/Squimble";
}

Run runTool(const QStringList& arguments)
{
    QProcess process;
    process.start(toolPath(), arguments);
    Run run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return run;
}

bool isMedia(const QString& name)
{
    return name.contains("/media/");
}
} // namespace

class tst_Squimble : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void levels_data();
    void levels();
    void keepsInputWhenNothingShrinks();
    void movesItsResultAcrossFileSystems();
    void failures_data();
    void failures();

private:
    QString path(const QString& name) const { return m_dir.path() + "/" + name; }

    QTemporaryDir m_dir;
    QList<OoxmlPackage::Media> m_media;
    QImage m_smallPng;
};

void tst_Squimble::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    QVERIFY2(QFileInfo(toolPath()).isExecutable(), qPrintable(toolPath()));

    // Oversized photographs in JPEG and PNG and an oversized chart, a photograph within every
    // bound, and a small half-transparent PNG such as a logo.
    const QByteArray bigJpeg = OoxmlPackage::jpeg(OoxmlPackage::photo(3200, 2400, 1), 95);
    const QByteArray bigPng = OoxmlPackage::png(OoxmlPackage::photo(2880, 2160, 2));
    const QByteArray chart = OoxmlPackage::png(OoxmlPackage::diagram(2880, 2160));
    const QByteArray smallJpeg = OoxmlPackage::jpeg(OoxmlPackage::photo(800, 600, 3), 95);
    m_smallPng = QImage(240, 120, QImage::Format_ARGB32);
    m_smallPng.fill(Qt::transparent);
    {
        QPainter painter(&m_smallPng);
        painter.fillRect(20, 20, 200, 80, QColor(30, 90, 200));
        painter.fillRect(60, 40, 120, 40, QColor(250, 250, 250, 128));
    }
    QVERIFY(!bigJpeg.isEmpty() && !bigPng.isEmpty() && !smallJpeg.isEmpty());
    m_media << OoxmlPackage::Media{"image1.jpeg", bigJpeg} << OoxmlPackage::Media{"image2.png", bigPng}
            << OoxmlPackage::Media{"image3.jpeg", smallJpeg}
            << OoxmlPackage::Media{"image4.png", OoxmlPackage::png(m_smallPng)}
            << OoxmlPackage::Media{"image5.png", chart};
}

void tst_Squimble::levels_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("level");
    QTest::addColumn<QSize>("bigJpegSize");
    QTest::addColumn<QSize>("bigPngSize");
    QTest::addColumn<QSize>("chartSize");

    // A flat chart scaled down smoothly gains shades and grows as a lossless PNG: at level 0,
    // which keeps PNGs lossless, it stays as it was.
    for (const char* suffix : {"docx", "pptx"}) {
        QTest::addRow("%s clarity first", suffix)
            << suffix << 0 << QSize(2560, 1920) << QSize(2560, 1920) << QSize(2880, 2160);
        QTest::addRow("%s normal", suffix)
            << suffix << 1 << QSize(1920, 1440) << QSize(1920, 1440) << QSize(1920, 1440);
        QTest::addRow("%s smallest", suffix)
            << suffix << 2 << QSize(1280, 960) << QSize(1280, 960) << QSize(1280, 960);
    }
}

void tst_Squimble::levels()
{
    QFETCH(QString, suffix);
    QFETCH(int, level);
    QFETCH(QSize, bigJpegSize);
    QFETCH(QSize, bigPngSize);
    QFETCH(QSize, chartSize);

    const QList<OoxmlPackage::Entry> entries =
        suffix == "docx" ? OoxmlPackage::wordDocument(m_media) : OoxmlPackage::presentation(m_media);
    const QString input = path(QString("in%1.%2").arg(level).arg(suffix));
    const QString output = path(QString("c_in%1.%2").arg(level).arg(suffix));
    QVERIFY(OoxmlPackage::write(input, entries));

    const Run run = runTool({input, output, QString::number(level)});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.lines.isEmpty());
    QCOMPARE(run.lines.last(), QString("success"));
    // Progress: two-digit figures, rising, before the last line.
    int previous = -1;
    for (int i = 0; i < run.lines.size() - 1; ++i) {
        QVERIFY2(QRegularExpression("^\\d\\d$").match(run.lines[i]).hasMatch(), qPrintable(run.lines[i]));
        QVERIFY(run.lines[i].toInt() > previous);
        previous = run.lines[i].toInt();
    }
    QVERIFY(previous >= 50);

    QVERIFY(QFileInfo(output).size() < QFileInfo(input).size());
    const QList<OoxmlPackage::Entry> written = OoxmlPackage::read(output);
    QCOMPARE(written.size(), entries.size());
    QCOMPARE(written.first().name, QString("[Content_Types].xml"));
    for (int i = 0; i < entries.size(); ++i) {
        const OoxmlPackage::Entry& before = entries[i];
        const OoxmlPackage::Entry& after = written[i];
        QCOMPARE(after.name, before.name);
        QVERIFY2(after.deflated, qPrintable(after.name));
        if (!isMedia(before.name)) {
            QVERIFY2(after.data == before.data, qPrintable(after.name));
            continue;
        }
        const QImage original = QImage::fromData(before.data);
        const QImage image = QImage::fromData(after.data);
        QVERIFY2(!image.isNull(), qPrintable(after.name));
        // The picture keeps its format, so the content types and references still hold.
        QCOMPARE(after.data.left(4), before.data.left(4));
        QVERIFY(after.data.size() <= before.data.size());
        if (before.name.endsWith("image1.jpeg"))
            QCOMPARE(image.size(), bigJpegSize);
        else if (before.name.endsWith("image2.png"))
            QCOMPARE(image.size(), bigPngSize);
        else if (before.name.endsWith("image5.png"))
            QCOMPARE(image.size(), chartSize);
        else
            QCOMPARE(image.size(), original.size());
        // The chart's few colours fit a palette at the lossy levels.
        if (before.name.endsWith("image5.png") && level > 0)
            QCOMPARE(image.format(), QImage::Format_Indexed8);
        if (before.name.endsWith("image4.png") && level == 0)
            QCOMPARE(image.convertToFormat(QImage::Format_ARGB32), m_smallPng);
    }
}

void tst_Squimble::keepsInputWhenNothingShrinks()
{
    // Random bytes stored without compression cannot get smaller by deflating them: the result
    // is the input's own bytes, still a success.
    QByteArray noise(256 * 1024, '\0');
    QRandomGenerator random(7);
    for (char& byte : noise)
        byte = char(random.bounded(256));
    QList<OoxmlPackage::Entry> entries = OoxmlPackage::wordDocument({});
    entries << OoxmlPackage::Entry{"word/embeddings/blob.bin", noise, false};
    const QString input = path("noise.docx");
    const QString output = path("c_noise.docx");
    QVERIFY(OoxmlPackage::write(input, entries));

    const Run run = runTool({input, output, "2"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.last(), QString("success"));
    QFile in(input);
    QFile out(output);
    QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadOnly));
    QVERIFY(in.readAll() == out.readAll());
}

void tst_Squimble::movesItsResultAcrossFileSystems()
{
    // The package is written in the system's temporary folder, here on the memory file system, and
    // reaches the output folder through "<output>.<pid>.tmp" beside it, which is gone afterwards;
    // the older file at the output is replaced.
    QTemporaryDir staging("/dev/shm/vx-squimble-XXXXXX");
    QVERIFY(staging.isValid());
    const auto restore = TestEnv::redirectSystemTemp(staging.path());
    QDir().mkpath(path("across"));
    const QString input = path("across/in.docx");
    const QString output = path("across/c_in.docx");
    const QList<OoxmlPackage::Entry> entries = OoxmlPackage::wordDocument(m_media);
    QVERIFY(OoxmlPackage::write(input, entries));
    QFile older(output);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("an older result") > 0);
    older.close();

    const Run run = runTool({input, output, "1"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.last(), QString("success"));
    QCOMPARE(OoxmlPackage::read(output).size(), entries.size());
    QCOMPARE(QDir(path("across")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"c_in.docx", "in.docx"}));
    QCOMPARE(QDir(staging.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void tst_Squimble::failures_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("reasonStart");

    QTest::newRow("missing input") << "missing"
                                   << "1"
                                   << "Not found: ";
    QTest::newRow("not a zip") << "text"
                               << "1"
                               << "Not a package: ";
    QTest::newRow("truncated") << "truncate"
                               << "1"
                               << "Not a package: ";
    QTest::newRow("damaged part") << "flip"
                                  << "1"
                                  << "Not ";
    QTest::newRow("no content types") << "plainzip"
                                      << "1"
                                      << "Not a document package: ";
    QTest::newRow("unknown level") << "none"
                                   << "7"
                                   << "Not started: unknown level 7";
}

void tst_Squimble::failures()
{
    QFETCH(QString, damage);
    QFETCH(QString, level);
    QFETCH(QString, reasonStart);

    const QString input = path("bad-" + damage + ".docx");
    const QString output = path("c_bad-" + damage + ".docx");
    const QList<OoxmlPackage::Entry> entries = OoxmlPackage::wordDocument({m_media[2]});
    if (damage == "text") {
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is not a package\n");
    } else if (damage == "plainzip") {
        QVERIFY(OoxmlPackage::write(input, entries.mid(1)));
    } else if (damage != "missing") {
        QVERIFY(OoxmlPackage::write(input, entries));
        QFile file(input);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        if (damage == "truncate") {
            bytes.truncate(bytes.size() / 2);
        } else if (damage == "flip") {
            // Damage the middle of the picture's compressed data: the CRC no longer matches.
            const int at = bytes.indexOf("word/media/image3.jpeg") + 4000;
            for (int i = 0; i < 64; ++i)
                bytes[at + i] = char(~bytes[at + i]);
        }
        file.resize(0);
        file.write(bytes);
    }

    const Run run = runTool({input, output, level});
    QVERIFY(run.exitCode > 0);
    QCOMPARE(run.lines.isEmpty() ? QString() : run.lines.last().left(reasonStart.size()), reasonStart);
    QVERIFY(!run.lines.last().contains("success"));
    QVERIFY(!QFileInfo::exists(output));
}

QTEST_MAIN(tst_Squimble)
#include "tst_squimble.moc"
