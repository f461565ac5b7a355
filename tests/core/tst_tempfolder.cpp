#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "PlatformConstants.h"
#include "TempFolder.h"
#include "TestEnv.h"

// The program's own temporary folder: private to this process and its owner, and the only thing
// that closing removes.
class TestTempFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void isPrivateToThisProgram();
    void twoProgramsGetTwoFolders();
    void removeLeavesTheSharedFolderAndOthers();
    void foldersOfEndedProgramsGo();

private:
    QTemporaryDir m_dir;
};

void TestTempFolder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    // A second copy of this program, started by twoProgramsGetTwoFolders, prints its folder.
    if (qEnvironmentVariableIsSet("VX_TEMPFOLDER_CHILD")) {
        qputenv("VX_TEMP_DIR", qgetenv("VX_TEMPFOLDER_CHILD"));
        std::printf("folder=%s\n", qPrintable(TempFolder::path()));
        std::fflush(stdout);
    }
}

void TestTempFolder::isPrivateToThisProgram()
{
    const QString folder = TempFolder::path();
    QVERIFY(folder.endsWith('/'));
    const QFileInfo info(QDir::cleanPath(folder));
    QCOMPARE(info.absolutePath() + '/', PlatformConstants::tempFolder());
    QVERIFY(info.fileName().startsWith(QString("vx-%1-").arg(QCoreApplication::applicationPid())));
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QFileInfo(folder).permissions() &
                 (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                  QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther),
             QFileDevice::Permissions());
    QCOMPARE(TempFolder::path(), folder); // one folder for the whole run
}

void TestTempFolder::twoProgramsGetTwoFolders()
{
    if (qEnvironmentVariableIsSet("VX_TEMPFOLDER_CHILD"))
        return;
    QStringList folders;
    for (int i = 0; i < 2; ++i) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VX_TEMPFOLDER_CHILD", PlatformConstants::tempFolder());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"isPrivateToThisProgram"});
        QVERIFY(child.waitForFinished(30000));
        const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
        QVERIFY2(child.exitCode() == 0, qPrintable(output));
        const int at = output.indexOf("folder=");
        QVERIFY(at >= 0);
        folders << output.mid(at + 7).section('\n', 0, 0);
    }
    folders << TempFolder::path();
    QCOMPARE(folders.size(), 3);
    QVERIFY(folders[0] != folders[1] && folders[1] != folders[2] && folders[0] != folders[2]);
    for (const QString& folder : folders)
        QVERIFY2(folder.startsWith(PlatformConstants::tempFolder()), qPrintable(folder));
}

void TestTempFolder::removeLeavesTheSharedFolderAndOthers()
{
    const QString mine = TempFolder::path();
    QFile file(mine + "c_1.png");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QDir().mkpath(mine + "doc-abc/inner"));
    // Another program's folder and a file of someone else's in the shared folder.
    const QString other = PlatformConstants::tempFolder() + "vx-1-other/";
    QVERIFY(QDir().mkpath(other));
    QFile theirs(other + "c_1.png");
    QVERIFY(theirs.open(QIODevice::WriteOnly));
    theirs.close();

    QVERIFY(TempFolder::remove());
    QVERIFY(!QFileInfo::exists(mine));
    QVERIFY(QFileInfo::exists(other + "c_1.png"));
    QVERIFY(QFileInfo(PlatformConstants::tempFolder()).isDir());
    // Asked again, a fresh folder is made.
    const QString again = TempFolder::path();
    QVERIFY(QFileInfo(again).isDir());
}

void TestTempFolder::foldersOfEndedProgramsGo()
{
    const QString mine = TempFolder::path();
    const QString shared = PlatformConstants::tempFolder();
    // A killed program's folder (no process has its id), and one that a running program holds.
    const QString ended = shared + "vx-999999999-ended/";
    const QString running = shared + "vx-1-running/";
    for (const QString& folder : {ended, running}) {
        QVERIFY(QDir().mkpath(folder + "image_1"));
        QFile left(folder + "image_1/magick-123");
        QVERIFY(left.open(QIODevice::WriteOnly) && left.write("pixel cache") > 0);
    }
    const int held = ::open(QFile::encodeName(running).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);

    QVERIFY(TempFolder::removeAbandoned() >= 1);
    ::close(held);
    QVERIFY(!QFileInfo::exists(ended));
    QVERIFY(QFileInfo::exists(running + "image_1/magick-123"));
    QVERIFY(QFileInfo(mine).isDir());
}

QTEST_GUILESS_MAIN(TestTempFolder)
#include "tst_tempfolder.moc"
