// The document tool's "-type=6": legacy .doc/.ppt files (made by LibreOffice from generated
// packages) become .docx/.pptx at the "-output=" path; anything else fails with a reason.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include "OoxmlPackage.h"
#include "TestEnv.h"

namespace
{
struct Run {
    int exitCode = -1;
    QString error;
};

Run convert(const QString& input, const QString& output)
{
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/docTool/Trellant35",
                  {"-type=6", "-input=" + input, "-output=" + output});
    Run run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return run;
}

QStringList namesOf(const QList<OoxmlPackage::Entry>& entries)
{
    QStringList names;
    for (const OoxmlPackage::Entry& entry : entries)
        names << entry.name;
    return names;
}
} // namespace

class tst_DocToolLegacy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void convertsInParallel();
    void failures_data();
    void failures();
    void richTextNamedDocConverts();
    void unreadableFileFailsWithinSeconds();

private:
    QString path(const QString& name) const { return m_dir.path() + "/files/" + name; }

    QTemporaryDir m_dir;
    QString m_doc;
    QString m_ppt;
};

void tst_DocToolLegacy::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    VX_REQUIRE_TOOL("soffice");
    QVERIFY(QDir().mkpath(m_dir.path() + "/files"));
    qputenv("HOME", (m_dir.path() + "/home").toLocal8Bit());

    const QByteArray photo = OoxmlPackage::jpeg(OoxmlPackage::photo(800, 600, 5), 90);
    const QByteArray chart = OoxmlPackage::png(OoxmlPackage::diagram(640, 480));
    const QString docx = path("letter.docx");
    const QString pptx = path("slides.pptx");
    QVERIFY(OoxmlPackage::write(docx, OoxmlPackage::wordDocument({{"image1.jpeg", photo}})));
    QVERIFY(OoxmlPackage::write(pptx,
                                OoxmlPackage::presentation({{"image1.jpeg", photo}, {"image2.png", chart}})));

    // Legacy inputs, saved by LibreOffice in Word 97 and PowerPoint 97 format.
    const QString profile = QUrl::fromLocalFile(m_dir.path() + "/lo-profile").toString(QUrl::FullyEncoded);
    QByteArray said;
    QCOMPARE(TestEnv::runTool("soffice",
                              {"-env:UserInstallation=" + profile, "--headless", "--norestore",
                               "--convert-to", "doc", "--outdir", m_dir.path() + "/files", docx},
                              &said),
             0);
    QCOMPARE(TestEnv::runTool("soffice",
                              {"-env:UserInstallation=" + profile, "--headless", "--norestore",
                               "--convert-to", "ppt", "--outdir", m_dir.path() + "/files", pptx},
                              &said),
             0);
    m_doc = path("letter.doc");
    m_ppt = path("slides.ppt");
    QVERIFY2(QFileInfo(m_doc).size() > 0 && QFileInfo(m_ppt).size() > 0, said.constData());
}

void tst_DocToolLegacy::convertsInParallel()
{
    // Both kinds at once, as the queue runs them: each run needs its own LibreOffice profile.
    // Names with blanks and a leading dash must reach LibreOffice as plain file names.
    const QString doc = path("-my letter.doc");
    const QString ppt = path("my slides.ppt");
    QVERIFY(QFile::copy(m_doc, doc));
    QVERIFY(QFile::copy(m_ppt, ppt));
    const QString docx = path("out/-my letter.docx");
    const QString pptx = path("out/my slides.pptx");
    QVERIFY(QDir().mkpath(path("out")));

    Run docRun;
    Run pptRun;
    QThread* thread = QThread::create([&] { docRun = convert(doc, docx); });
    thread->start();
    pptRun = convert(ppt, pptx);
    thread->wait();
    delete thread;

    QVERIFY2(docRun.exitCode == 0, qPrintable(docRun.error));
    QVERIFY2(pptRun.exitCode == 0, qPrintable(pptRun.error));
    const QStringList docParts = namesOf(OoxmlPackage::read(docx));
    const QStringList pptParts = namesOf(OoxmlPackage::read(pptx));
    QVERIFY(docParts.contains("[Content_Types].xml"));
    QVERIFY(docParts.contains("word/document.xml"));
    QVERIFY(!docParts.filter("word/media/").isEmpty());
    QVERIFY(pptParts.contains("[Content_Types].xml"));
    QVERIFY(pptParts.contains("ppt/presentation.xml"));
    QVERIFY(pptParts.filter("ppt/media/").size() >= 2);
    QVERIFY(!QFileInfo::exists(docx + ".part"));
}

void tst_DocToolLegacy::failures_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");

    const QString missing = m_dir.path() + "/files/absent.doc";
    QTest::newRow("missing input") << missing << m_dir.path() + "/files/absent.docx"
                                   << QString("cannot convert %1: no such file").arg(missing);
    const QString junk = m_dir.path() + "/files/junk.ppt";
    QTest::newRow("not a presentation")
        << junk << m_dir.path() + "/files/junk.pptx"
        << QString("cannot convert %1: LibreOffice wrote no document (").arg(junk);
    QTest::newRow("unknown target")
        << m_dir.path() + "/files/letter.doc" << m_dir.path() + "/files/letter.odt"
        << QString("cannot convert %1/files/letter.doc: %1/files/letter.odt is neither "
                   ".docx nor .pptx")
               .arg(m_dir.path());
    QTest::newRow("no output folder")
        << m_dir.path() + "/files/letter.doc" << m_dir.path() + "/nowhere/letter.docx"
        << QString("cannot convert %1/files/letter.doc: the folder of "
                   "%1/nowhere/letter.docx does not exist")
               .arg(m_dir.path());
}

void tst_DocToolLegacy::failures()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, error);

    if (input.endsWith("junk.ppt")) {
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes(3000, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919) % 251);
        file.write(bytes);
    }
    const Run run = convert(input, output);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.error.startsWith(error), qPrintable(run.error));
    QVERIFY(!QFileInfo::exists(output));
}

void tst_DocToolLegacy::richTextNamedDocConverts()
{
    // Word also saves ".doc" files as RTF; they are read as RTF.
    const QString profile = QUrl::fromLocalFile(m_dir.path() + "/lo-profile").toString(QUrl::FullyEncoded);
    QCOMPARE(TestEnv::runTool("soffice", {"-env:UserInstallation=" + profile, "--headless", "--norestore",
                                          "--convert-to", "rtf", "--outdir", m_dir.path() + "/files", m_doc}),
             0);
    const QString input = path("rich text.doc");
    QVERIFY(QFile::rename(path("letter.rtf"), input));
    const QString output = path("rich text.docx");
    const Run run = convert(input, output);
    QVERIFY2(run.exitCode == 0, qPrintable(run.error));
    QVERIFY(namesOf(OoxmlPackage::read(output)).contains("word/document.xml"));
}

void tst_DocToolLegacy::unreadableFileFailsWithinSeconds()
{
    // Two megabytes of noise named ".doc", once plain and once behind the OLE signature of a real
    // one: LibreOffice cannot load either, and says so at once instead of reading it as text. No
    // LibreOffice and no work folder remain.
    const QString work = m_dir.path() + "/system temp";
    QVERIFY(QDir().mkpath(work));
    for (const QByteArray& head : {QByteArray(), QByteArray::fromHex("D0CF11E0A1B11AE1")}) {
        const QString input = path(head.isEmpty() ? "noise.doc" : "ole noise.doc");
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray noise(2 * 1024 * 1024, '\0');
        quint32 state = 99;
        for (int i = 0; i < noise.size(); ++i) {
            state = state * 1103515245u + 12345u;
            noise[i] = char(state >> 24);
        }
        file.write(head + noise);
        file.close();

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", work);
        process.setProcessEnvironment(environment);
        process.start(QCoreApplication::applicationDirPath() + "/docTool/Trellant35",
                      {"-type=6", "-input=" + input, "-output=" + path("noise.docx")});
        // Seconds, against the minutes of reading two megabytes as text (and a busy machine may take
        // long to start LibreOffice at all).
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()).trimmed(),
                 QString("cannot convert %1: LibreOffice wrote no document (Error: source file could not be "
                         "loaded)")
                     .arg(input));
        QVERIFY(!QFileInfo::exists(path("noise.docx")));
        QCOMPARE(TestEnv::processesMentioning(work), QStringList());
        QCOMPARE(TestEnv::entriesUnder(work), QStringList());
    }
}

QTEST_MAIN(tst_DocToolLegacy)
#include "tst_doctoollegacy.moc"
