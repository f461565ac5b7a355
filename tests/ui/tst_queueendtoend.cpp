// The whole program at work: files of every suffix go in through the window's intake, the start
// button runs them through the real engines and tools, and what comes out is checked file by file.
#include <memory>

#include <QDate>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

#include "JsonParsing.h"
#include "Kind.h"
#include "MainWidget.h"
#include "ModalAnswerer.h"
#include "OoxmlPackage.h"
#include "PdfFactory.h"
#include "SampleFiles.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "UrlRecorder.h"
#include "VideoCompressCore.h"
#include "WindowDriver.h"

namespace
{

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / 1048576, 'f', 2) + "MB";
}

void drop(MainWidget& window, const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropEvent(QPointF(50, 50), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropEvent);
    delete data;
}

// Whether the file at `path` opens as what its kind promises.
bool opens(int kind, const QString& path)
{
    switch (kind) {
    case Kind::Video: {
        VideoCompressCore probe(nullptr);
        const VideoInfo info = probe.videoInfo(path);
        return info.width > 0 && info.height > 0;
    }
    case Kind::Image:
        return !QImage(path).isNull();
    case Kind::Pdf:
        return PdfFactory::pageCount(path) == 3;
    default:
        return !OoxmlPackage::read(path).isEmpty();
    }
}

// The result's name with the default options (formats kept, results beside their sources).
QString expectedName(int kind, const QString& input)
{
    const QFileInfo info(input);
    if (kind == Kind::PowerPoint)
        return "c_" + info.baseName() + ".pptx";
    if (kind == Kind::Word)
        return "c_" + info.baseName() + ".docx";
    if (kind == Kind::Image)
        return "c_" + info.baseName() + "." + info.suffix();
    return "c_" + info.fileName();
}

} // namespace

class TestQueueEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyKindEndToEnd();
    void usersFileKeptOwnResultReplaced();

private:
    UrlRecorder m_urls; // nothing is opened for real
    std::unique_ptr<TestFolder> m_dir;
    QString m_inputs;
};

void TestQueueEndToEnd::initTestCase()
{
    for (const char* tool : {"ffmpeg", "pngquant", "convert", "gifsicle", "soffice"})
        VX_REQUIRE_TOOL(tool);
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    WindowDriver::startProgramServices();
    m_inputs = m_dir->filePath("输入 文件");
    QVERIFY(QDir().mkpath(m_inputs + "/pictures"));
}

void TestQueueEndToEnd::cleanupTestCase()
{
    WindowDriver::stopProgramServices();
    m_dir.reset();
}

void TestQueueEndToEnd::everyKindEndToEnd()
{
    // One file of every suffix; the images come in as a folder, the PDF by a drop.
    QStringList byKind[Kind::Count];
    for (const QString& suffix : SampleFiles::videoSuffixes())
        byKind[Kind::Video] << m_inputs + "/clip." + suffix;
    for (const QString& suffix : SampleFiles::imageSuffixes())
        byKind[Kind::Image] << m_inputs + "/pictures/照片 " + suffix + "." + suffix;
    byKind[Kind::PowerPoint] << m_inputs + "/old slides.ppt" << m_inputs + "/deck.pptx";
    byKind[Kind::Pdf] << m_inputs + "/手册 一.pdf";
    byKind[Kind::Word] << m_inputs + "/old minutes.doc" << m_inputs + "/report.docx";
    for (const QStringList& paths : byKind) {
        for (const QString& path : paths)
            QVERIFY2(SampleFiles::make(path, m_dir->path()), qPrintable(path));
    }

    MainWidget window;
    window.show();
    WindowDriver driver(window);
    for (const QString& path : byKind[Kind::Video]) {
        window.switchPageBySuffix(QFileInfo(path).suffix());
        window.addFile(path);
    }
    driver.showKind(Kind::Image);
    window.addDir(m_inputs + "/pictures");
    drop(window, byKind[Kind::Pdf]);
    for (const QString& path : byKind[Kind::PowerPoint] + byKind[Kind::Word]) {
        window.switchPageBySuffix(QFileInfo(path).suffix());
        window.addFile(path);
    }

    const int kinds[] = {Kind::Video, Kind::Image, Kind::PowerPoint, Kind::Pdf, Kind::Word};
    for (int kind : kinds) {
        QStringList expected = byKind[kind];
        QStringList queued = window.queue(kind);
        std::sort(expected.begin(), expected.end());
        std::sort(queued.begin(), queued.end());
        QCOMPARE(queued, expected);
        QCOMPARE(driver.rowCount(kind), expected.size());
    }

    const QString day = QDate::currentDate().toString("yyyy-MM-dd");
    for (int kind : kinds) {
        driver.showKind(kind);
        driver.pressStart();
        QCOMPARE(driver.buttonText(), QString("压缩中..."));
        QVERIFY2(driver.waitForRunEnd(240000), qPrintable(QString("kind %1 did not end").arg(kind)));
        QCOMPARE(driver.buttonText(), QString("开始压缩"));
        const QStringList states = driver.states(kind);
        QCOMPARE(states, QStringList(QVector<QString>(states.size(), "已完成").toList()));

        const QList<QStringList> history = JsonParsing::readHistory(kind, "history.json");
        const QStringList queue = window.queue(kind);
        QCOMPARE(history.size(), queue.size());
        for (int row = 0; row < queue.size(); ++row) {
            const QString input = queue.at(row);
            const QStringList* entry = nullptr;
            for (const QStringList& candidate : history) {
                if (candidate.value(1) == input)
                    entry = &candidate;
            }
            QVERIFY2(entry, qPrintable(input));
            QCOMPARE(entry->value(0), day);
            const QString output = entry->value(2);
            QCOMPARE(QFileInfo(output).absolutePath(), QFileInfo(input).absolutePath());
            QCOMPARE(QFileInfo(output).fileName(), expectedName(kind, input));
            QVERIFY2(opens(kind, output), qPrintable(output));
            const qint64 inSize = QFileInfo(input).size();
            const qint64 outSize = QFileInfo(output).size();
            const double rate = double(outSize) / double(inSize);
            QCOMPARE(driver.rowText(kind, row, "labelCompSize"), megabytes(outSize));
            QVERIFY2(driver.rowText(kind, row, "labelCompRate") == QString::number(rate * 100, 'f', 2) + "%",
                     qPrintable(QString("%1 shows %2 for %3 of %4 bytes")
                                    .arg(output, driver.rowText(kind, row, "labelCompRate"))
                                    .arg(outSize)
                                    .arg(inSize)));
        }
    }
    QVERIFY2(driver.mostEnginesAtOnce() <= 4, qPrintable(QString::number(driver.mostEnginesAtOnce())));
    QVERIFY(driver.mostEnginesAtOnce() >= 2);
    QCOMPARE(window.freeTaskSlots(), 4);
}

void TestQueueEndToEnd::usersFileKeptOwnResultReplaced()
{
    // "c_my photo.jpg" is a photo of the user's own that happens to have the result's name.
    const QString folder = m_dir->filePath("own names");
    QVERIFY(QDir().mkpath(folder));
    const QString input = folder + "/my photo.jpg";
    QVERIFY(SampleFiles::make(input, m_dir->path()));
    QVERIFY(SampleFiles::make(folder + "/c_my photo.png", m_dir->path()));
    QVERIFY(QFile::rename(folder + "/c_my photo.png", folder + "/c_my photo.jpg"));
    QFile users(folder + "/c_my photo.jpg");
    QVERIFY(users.open(QIODevice::ReadOnly));
    const QByteArray usersBytes = users.readAll();
    users.close();

    // Two sessions of the program, each running the photo once.
    for (int session = 1; session <= 2; ++session) {
        MainWidget window;
        window.show();
        WindowDriver driver(window);
        driver.showKind(Kind::Image);
        driver.addFiles({input});
        driver.pressStart();
        QVERIFY(driver.waitForRunEnd(120000));
        QCOMPARE(driver.states(Kind::Image), QStringList("已完成"));
        // The user's file stays; the result is numbered, and the second run replaces its own.
        QVERIFY(users.open(QIODevice::ReadOnly));
        QCOMPARE(users.readAll(), usersBytes);
        users.close();
        QCOMPARE(JsonParsing::readHistory(Kind::Image, "history.json").last().value(2),
                 folder + "/c_my photo_2.jpg");
        QVERIFY(!QImage(folder + "/c_my photo_2.jpg").isNull());
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 QStringList({"c_my photo.jpg", "c_my photo_2.jpg", "my photo.jpg"}));
    }
}

QTEST_MAIN(TestQueueEndToEnd)
#include "tst_queueendtoend.moc"
