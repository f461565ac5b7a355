#include <memory>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "TestEnv.h"
#include "Tool.h"

class TestTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void quoteWrapsWithoutEscaping();
    void mediaSuffixTable_data();
    void mediaSuffixTable();
    void timeToSeconds_data();
    void timeToSeconds();
    void secondsBetween_data();
    void secondsBetween();
    void logRecreatesFolderOnFirstWrite();
    void firstRunUnderNewHomeKeepsItsLogLines();
    void logWritesUtf8LinesWithLineFeedsOnly();
    void logFromManyThreadsKeepsWholeLines();
    void logIntoUncreatableFolderDropsLineAndReturns();
    void makeDirReportsEachOutcome();
    void removeTempFilesStopsAtFirstFailure();
    void removeTempFilesKeepsTheLastOnes();

private:
    QByteArray readLog() const;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTool::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // The copy started under a new home keeps the log where the program would put it.
    if (!qEnvironmentVariableIsSet("VX_TOOL_TEST_NEW_HOME"))
        TestEnv::isolate(*m_dir);
}

QByteArray TestTool::readLog() const
{
    QFile file(Tool::logFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestTool::quoteWrapsWithoutEscaping()
{
    QCOMPARE(Tool::quote(QString()), QString("\"\""));
    QCOMPARE(Tool::quote("C:/a b/c.png"), QString("\"C:/a b/c.png\""));
    QCOMPARE(Tool::quote("say \"hi\""), QString("\"say \"hi\"\""));
    QCOMPARE(Tool::singleQuote("x y"), QString("'x y'"));
}

void TestTool::mediaSuffixTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("first") << 0 << ".mp4";
    QTest::newRow("webm") << 8 << ".webm";
    QTest::newRow("ogv") << 9 << ".ogv";
    QTest::newRow("ape") << 22 << ".ape";
    QTest::newRow("jpg") << 24 << ".jpg";
    QTest::newRow("last") << 26 << ".png";
    QTest::newRow("past the end") << 27 << "";
    QTest::newRow("negative") << -1 << "";
}

void TestTool::mediaSuffixTable()
{
    QFETCH(int, index);
    QFETCH(QString, suffix);
    QCOMPARE(Tool::mediaSuffix(index), suffix);
}

void TestTool::timeToSeconds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("seconds");
    QTest::newRow("milliseconds are thousandths") << "00:00:05.005" << 5.005;
    QTest::newRow("half second") << "00:00:05.500" << 5.5;
    QTest::newRow("minutes") << "00:01:02.005" << 62.005;
    QTest::newRow("one hour") << "01:00:00.000" << 3600.0;
    QTest::newRow("not a time") << "abc" << 0.0;
    QTest::newRow("no milliseconds") << "00:00:05" << 0.0;
}

void TestTool::timeToSeconds()
{
    QFETCH(QString, text);
    QFETCH(double, seconds);
    QVERIFY2(qAbs(Tool::timeToSeconds(text) - seconds) < 1e-9,
             qPrintable(QString::number(Tool::timeToSeconds(text))));
}

void TestTool::secondsBetween_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("seconds");
    QTest::newRow("forward") << "00:00:10"
                             << "00:01:00" << 50;
    QTest::newRow("backward") << "00:01:00"
                              << "00:00:10" << -50;
    QTest::newRow("no wrap at midnight") << "23:59:59"
                                         << "00:00:01" << -86398;
    QTest::newRow("invalid") << "xx"
                             << "00:00:01" << 0;
}

void TestTool::secondsBetween()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, seconds);
    QCOMPARE(Tool::secondsBetween(from, to), seconds);
}

void TestTool::logRecreatesFolderOnFirstWrite()
{
    QVERIFY(!QDir(g_AppDataPath + "/Vornix").exists());
    QVERIFY(QDir().mkpath(g_AppDataPath));
    QVERIFY(Tool::writeLog("first line"));
    QCOMPARE(TestEnv::logLines(), QStringList({"create dir success", "first line"}));

    // Deleted while the program runs: the next line brings the folder back.
    QVERIFY(QDir(g_AppDataPath + "/Vornix").removeRecursively());
    QVERIFY(Tool::writeLog("after removal"));
    QCOMPARE(TestEnv::logLines(), QStringList({"create dir success", "after removal"}));
}

void TestTool::firstRunUnderNewHomeKeepsItsLogLines()
{
    // The log folder comes from the locations taken at program load, so a program of its own is
    // started under an empty home: none of the folders above the log exists yet.
    if (qEnvironmentVariableIsSet("VX_TOOL_TEST_NEW_HOME")) {
        QVERIFY(Tool::writeLog("first line"));
        QVERIFY(Tool::writeLog("second line"));
        return;
    }
    const QString home = m_dir->path() + "/new home";
    QVERIFY(QDir().mkpath(home));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        environment.remove(name);
    environment.insert("HOME", home);
    environment.insert("VX_TOOL_TEST_NEW_HOME", "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"firstRunUnderNewHomeKeepsItsLogLines"});
    QVERIFY(child.waitForFinished(30000));
    QVERIFY2(child.exitCode() == 0, child.readAll().constData());

    QFile log(home + "/.local/share/Vornix/log.txt");
    QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
    QCOMPARE(log.readAll(), QByteArray("create dir success\nfirst line\nsecond line\n"));
}

void TestTool::logWritesUtf8LinesWithLineFeedsOnly()
{
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    QVERIFY(Tool::writeLog(QString::fromUtf8("start compress 0: C:/视频/片 1.mp4")));
    QVERIFY(Tool::writeLog("second"));
    QCOMPARE(readLog(),
             QByteArray("start compress 0: C:/\xe8\xa7\x86\xe9\xa2\x91/\xe7\x89\x87 1.mp4\nsecond\n"));
}

void TestTool::logFromManyThreadsKeepsWholeLines()
{
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    const int threads = 4;
    const int linesEach = 50;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < linesEach; ++i)
                Tool::writeLog(QString("thread %1 line %2").arg(t).arg(i));
        });
    }
    for (auto& writer : writers)
        writer.join();
    const QStringList lines = TestEnv::logLines();
    QCOMPARE(lines.size(), threads * linesEach);
    for (const QString& line : lines)
        QVERIFY2(QRegularExpression("^thread \\d line \\d+$").match(line).hasMatch(), qPrintable(line));
}

void TestTool::logIntoUncreatableFolderDropsLineAndReturns()
{
    // The base is a regular file, so ".../Vornix" can never be made; the call must still return.
    QFile blocker(m_dir->path() + "/blocker");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    g_AppDataPath = blocker.fileName();
    QVERIFY(Tool::writeLog("lost line"));
    QVERIFY(!Tool::makeDir(g_AppDataPath + "/Vornix"));
    QVERIFY(!QFile::exists(Tool::logFilePath()));
}

void TestTool::makeDirReportsEachOutcome()
{
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    const QString folder = m_dir->path() + "/made";
    QVERIFY(Tool::makeDir(folder));
    QVERIFY(QDir(folder).exists());
    QVERIFY(Tool::makeDir(folder));
    // Missing parents are made too; a parent that is a file cannot be.
    QVERIFY(Tool::makeDir(m_dir->path() + "/missing/parent"));
    QVERIFY(QDir(m_dir->path() + "/missing/parent").exists());
    QFile file(m_dir->path() + "/a file");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!Tool::makeDir(file.fileName() + "/child"));
    QCOMPARE(TestEnv::logLines(), QStringList({"create dir success", "dir is exist", "create dir success",
                                               "error:create dir fail"}));
}

void TestTool::removeTempFilesStopsAtFirstFailure()
{
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
    const QString first = m_dir->path() + "/a.tmp";
    const QString missing = m_dir->path() + "/b.tmp";
    const QString third = m_dir->path() + "/c.tmp";
    for (const QString& path : {first, third}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(!Tool::removeTempFiles({first, missing, third}, 0));
    QVERIFY(!QFile::exists(first));
    QVERIFY(QFile::exists(third));
    QCOMPARE(TestEnv::logLines(), QStringList({QString("remove temp file %1 success").arg(first),
                                               QString("remove temp file %1 fail").arg(missing)}));
}

void TestTool::removeTempFilesKeepsTheLastOnes()
{
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files << m_dir->path() + QString("/f%1.tmp").arg(i);
        QFile file(files.last());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(Tool::removeTempFiles(files, 3));
    QVERIFY(Tool::removeTempFiles(files, 5));
    for (const QString& path : files)
        QVERIFY(QFile::exists(path));
    QVERIFY(Tool::removeTempFiles(files, 1));
    QVERIFY(!QFile::exists(files[0]));
    QVERIFY(!QFile::exists(files[1]));
    QVERIFY(QFile::exists(files[2]));
}

QTEST_GUILESS_MAIN(TestTool)
#include "tst_tool.moc"
