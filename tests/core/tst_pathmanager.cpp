#include <cstdio>
#include <thread>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "PathManager.h"
#include "PlatformConstants.h"
#include "TestEnv.h"

namespace
{
// Set in a second run of this program that prints the holder's folder, leaves a file in it and exits.
const char* const kPrintChild = "VX_PATHMANAGER_PRINT";
} // namespace

// The path holder: document tool variant and the self-removing work folder.
class TestPathManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void choosesTheOlderToolWithoutDotNet();
    void handsOutOneTempFolder();
    void isOneObjectForEveryThread();
    void removesItsFolderAtExit();

private:
    QTemporaryDir m_dir;
};

void TestPathManager::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray inherited = qgetenv("XDG_DATA_HOME");
    TestEnv::isolate(m_dir);
    // Two levels that do not exist yet: the holder must make both. The child keeps the one it was given.
    if (!qEnvironmentVariableIsSet(kPrintChild))
        qputenv("XDG_DATA_HOME", (m_dir.path() + "/fresh/data").toLocal8Bit());
    else
        qputenv("XDG_DATA_HOME", inherited);
}

void TestPathManager::choosesTheOlderToolWithoutDotNet()
{
    QVERIFY(!PathManager::hasDotNet4());
    const QString tool = PathManager::instance()->converterPath();
    QCOMPARE(tool,
             QCoreApplication::applicationDirPath() + "/docTool/Trellant35" + PlatformConstants::exeSuffix());
    QCOMPARE(tool, PlatformConstants::docToolPath(false));
}

void TestPathManager::handsOutOneTempFolder()
{
    const QString appData = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation).first();
    const QString folder = PathManager::instance()->tempDir();
    QCOMPARE(PathManager::instance()->tempDir(), folder);
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY2(folder.startsWith(appData + "/TempDir") && folder.size() > (appData + "/TempDir").size(),
             qPrintable(folder));
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

void TestPathManager::removesItsFolderAtExit()
{
    if (qEnvironmentVariableIsSet(kPrintChild)) {
        // Leaves a file in the folder: removal at exit must take the contents too.
        const QString folder = PathManager::instance()->tempDir();
        QFile file(folder + "/left.pdf");
        QVERIFY(file.open(QIODevice::WriteOnly));
        std::printf("FOLDER:%s\n", qPrintable(folder));
        return;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kPrintChild, "1");
    environment.insert("XDG_DATA_HOME", m_dir.path() + "/child");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {"removesItsFolderAtExit"});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const QString folder = output.section("FOLDER:", 1).section('\n', 0, 0);
    QVERIFY2(folder.startsWith(m_dir.path() + "/child/"), qPrintable(folder));
    QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    QVERIFY(QFileInfo(QFileInfo(folder).path()).isDir());
}

QTEST_GUILESS_MAIN(TestPathManager)
#include "tst_pathmanager.moc"
