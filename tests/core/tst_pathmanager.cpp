#include <thread>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "PathManager.h"
#include "PlatformConstants.h"
#include "TempFolder.h"
#include "TestEnv.h"

// The path holder: the document tool's variant and the folder of the PDF engine's page ranges.
class TestPathManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void choosesTheOlderToolWithoutDotNet();
    void handsOutTheProgramsTempFolder();
    void isOneObjectForEveryThread();

private:
    QTemporaryDir m_dir;
};

void TestPathManager::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    // Two levels that do not exist yet: the holder must make both.
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/fresh/data").toLocal8Bit());
}

void TestPathManager::choosesTheOlderToolWithoutDotNet()
{
    QVERIFY(!PathManager::hasDotNet4());
    const QString tool = PathManager::instance()->converterPath();
    QCOMPARE(tool,
             QCoreApplication::applicationDirPath() + "/docTool/Trellant35" + PlatformConstants::exeSuffix());
    QCOMPARE(tool, PlatformConstants::docToolPath(false));
}

void TestPathManager::handsOutTheProgramsTempFolder()
{
    // The page ranges lie in the program's own temporary folder, which the next start clears after a
    // kill; nothing of them is made in the application-data folder, which nothing clears.
    const QString appData = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).first();
    const QString folder = PathManager::instance()->tempDir();
    QCOMPARE(folder + '/', TempFolder::path());
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(QFileInfo(appData).isDir());
    QCOMPARE(QDir(appData).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    // Asked anew each time: it follows the shared folder, and is made again once removed.
    QVERIFY(TempFolder::remove());
    QVERIFY(QFileInfo(PathManager::instance()->tempDir()).isDir());
    qputenv("VX_TEMP_DIR", QFile::encodeName(m_dir.path() + "/other/"));
    QVERIFY2(PathManager::instance()->tempDir().startsWith(m_dir.path() + "/other/vx-"),
             qPrintable(PathManager::instance()->tempDir()));
}

void TestPathManager::isOneObjectForEveryThread()
{
    PathManager* mine = PathManager::instance();
    PathManager* theirs = nullptr;
    QString theirFolder;
    std::thread worker([&] {
        theirs = PathManager::instance();
        theirFolder = theirs->tempDir();
    });
    worker.join();
    QCOMPARE(theirs, mine);
    QCOMPARE(theirFolder, mine->tempDir());
}

QTEST_GUILESS_MAIN(TestPathManager)
#include "tst_pathmanager.moc"
