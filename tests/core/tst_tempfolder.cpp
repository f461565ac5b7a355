#include <csignal>
#include <cstdio>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "FilePlacement.h"
#include "PathManager.h"
#include "PlatformConstants.h"
#include "ResultPlacement.h"
#include "TempFolder.h"
#include "TestEnv.h"

namespace
{
// Set in the copies of this program that the clean-up tests start: the shared folder the copy makes
// its own folder in, and the folder of the result the copy is placing when it dies.
const char* const kHoldChild = "VX_TEMPFOLDER_HOLD";
const char* const kCopyChild = "VX_TEMPFOLDER_COPY";
const int kChildWithinMs = 60000;

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList namesIn(const QString& folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

// A copy of this program started with `environment` added, running `function`; it scratches in
// `scratch` (its own test folder too).
void startChild(QProcess* child, const QString& function, const QString& scratch,
                const QMap<QString, QString>& environment)
{
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.constBegin(); it != environment.constEnd(); ++it)
        all.insert(it.key(), it.value());
    all.insert("TMPDIR", scratch);
    child->setProcessEnvironment(all);
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->start(QCoreApplication::applicationFilePath(), {function});
}

// The folder that the child started by startChild prints as "folder=<path>"; empty when it ends first.
QString folderOf(QProcess* child)
{
    QByteArray said;
    const QRegularExpression line("folder=([^\n]*)\n");
    QRegularExpressionMatch match;
    (void)QTest::qWaitFor(
        [&] {
            said += child->readAll();
            match = line.match(QString::fromLocal8Bit(said));
            return match.hasMatch() || child->state() == QProcess::NotRunning;
        },
        kChildWithinMs);
    return match.captured(1);
}
} // namespace

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
    void onlyFoldersOfEndedProgramsGo();
    void passingCopyOfAKilledProgramGoes();

private:
    QTemporaryDir m_dir;
};

void TestTempFolder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TestEnv::isolate(m_dir);
    if (qEnvironmentVariableIsSet(kHoldChild) || qEnvironmentVariableIsSet(kCopyChild))
        return;
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

void TestTempFolder::onlyFoldersOfEndedProgramsGo()
{
    if (qEnvironmentVariableIsSet(kHoldChild)) {
        // A program at work: its folder, with a PDF job's page range in it, held until it is killed.
        qputenv("VX_TEMP_DIR", qgetenv(kHoldChild));
        QTemporaryDir work(PathManager::instance()->tempDir() + "/pdf-XXXXXX");
        QVERIFY(work.isValid() && write(work.filePath("0s.pdf"), "%PDF-1.7 range"));
        std::printf("folder=%s\n", qPrintable(TempFolder::path()));
        std::fflush(stdout);
        QThread::sleep(kChildWithinMs / 1000);
        return;
    }
    // A temporary folder chosen by the user (VX_TEMP_DIR), where the user keeps folders of their own.
    const QString shared = m_dir.filePath("chosen") + '/';
    const QString scratch = m_dir.filePath("children");
    QVERIFY(QDir().mkpath(shared) && QDir().mkpath(scratch) && QDir().mkpath(m_dir.filePath("elsewhere")));
    const QByteArray before = qgetenv("VX_TEMP_DIR");
    qputenv("VX_TEMP_DIR", QFile::encodeName(shared));
    const auto restore = qScopeGuard([before] { qputenv("VX_TEMP_DIR", before); });

    // Two programs of ours: one still at work, one killed outright.
    QProcess running;
    QProcess killed;
    QStringList folders;
    for (QProcess* child : {&running, &killed}) {
        startChild(child, "onlyFoldersOfEndedProgramsGo", scratch, {{kHoldChild, shared}});
        folders << folderOf(child);
        QVERIFY2(folders.last().startsWith(shared), qPrintable(folders.last()));
    }
    const auto endRunning = qScopeGuard([&running] {
        running.kill();
        running.waitForFinished(kChildWithinMs);
    });
    ::kill(pid_t(killed.processId()), SIGKILL);
    QVERIFY(killed.waitForFinished(kChildWithinMs));
    const QString killedFolder = QDir(folders[1]).dirName();
    QCOMPARE(TestEnv::entriesUnder(folders[1]).filter(QRegularExpression("^pdf-\\w{6}/0s\\.pdf$")).size(), 1);
    const QString killedPid = killedFolder.section('-', 1, 1);

    // The user's folders, some named as if they were ours, and links; all older than a minute.
    const QString outside = m_dir.filePath("elsewhere/");
    QVERIFY(QFile::copy(folders[1] + TempFolder::kOwnerFile, outside + TempFolder::kOwnerFile));
    const QMap<QString, QString> files{
        {"vx-archive/2019/photo.jpg", "a photo"},
        {"vx-2023-taxes/return.pdf", "a tax return"},
        {"vx-123456789-abcdef/notes.txt", "a folder named as ours, without the owner file"},
        {"vx-123456788-ghijkl/vx-owner", "an owner file of the user's"},
    };
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        QVERIFY(QDir().mkpath(QFileInfo(shared + it.key()).path()));
        QVERIFY(write(shared + it.key(), it.value().toUtf8()));
    }
    // A link in our name form to a folder with our owner file, and a folder whose owner file is a link.
    const QString linked = QString("vx-%1-linkab").arg(killedPid);
    const QString ownerLink = QString("vx-%1-ownlnk").arg(killedPid);
    QVERIFY(QFile::link(outside, shared + linked));
    QVERIFY(QDir().mkpath(shared + ownerLink));
    QVERIFY(QFile::link(outside + TempFolder::kOwnerFile, shared + ownerLink + '/' + TempFolder::kOwnerFile));
    for (const QString& name : namesIn(shared))
        QVERIFY2(TestEnv::age(shared + name, 120), qPrintable(name));
    const QString mine = QDir(TempFolder::path()).dirName();

    QCOMPARE(TempFolder::removeAbandoned(), 1);
    QStringList kept = {"vx-2023-taxes",
                        "vx-123456788-ghijkl",
                        "vx-123456789-abcdef",
                        "vx-archive",
                        linked,
                        ownerLink,
                        mine,
                        QDir(folders[0]).dirName()};
    kept.sort();
    QCOMPARE(namesIn(shared), kept);
    for (auto it = files.constBegin(); it != files.constEnd(); ++it)
        QCOMPARE(bytesOf(shared + it.key()), it.value().toUtf8());
    QVERIFY(QFileInfo::exists(outside + TempFolder::kOwnerFile));
    QVERIFY(QFileInfo::exists(folders[0] + TempFolder::kOwnerFile));
}

void TestTempFolder::passingCopyOfAKilledProgramGoes()
{
    if (qEnvironmentVariableIsSet(kCopyChild)) {
        // Dies in the middle of copying its result beside the input: the system ends a program that
        // writes past its file size limit, as it ends one killed outright.
        const QString folder = qEnvironmentVariable(kCopyChild);
        qputenv("VX_TEMP_DIR", QFile::encodeName(QDir::cleanPath(folder + "/../temp") + '/'));
        ::prctl(PR_SET_DUMPABLE, 0);
        const struct rlimit limit = {3 * 1024 * 1024, 3 * 1024 * 1024};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        QString failure;
        const QString input = folder + "/clip.mp4";
        ResultPlacement::place(ResultPlacement::How::CopyInput, input, input, folder + "/c_clip.mp4", nullptr,
                               &failure);
        QFAIL("the copy ended without the program");
    }
    const QString folder = m_dir.filePath("copy/user");
    const QString temp = m_dir.filePath("copy/temp/");
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(temp) && QDir().mkpath(m_dir.filePath("copy/scratch")));
    QByteArray clip(8 * 1024 * 1024, 'v');
    QVERIFY(write(folder + "/clip.mp4", clip));
    // Another program's passing name, and a file of the user's that looks like one.
    QVERIFY(write(folder + "/c_clip.mp4.1.tmp", "another program's"));
    QProcess child;
    startChild(&child, "passingCopyOfAKilledProgramGoes", m_dir.filePath("copy/scratch"),
               {{kCopyChild, folder}});
    QVERIFY(child.waitForStarted(kChildWithinMs));
    const qint64 pid = child.processId();
    QVERIFY(child.waitForFinished(kChildWithinMs));
    QVERIFY2(child.exitStatus() == QProcess::CrashExit, child.readAll().constData());
    const QString passing = FilePlacement::passingName(folder + "/c_clip.mp4", pid);
    QCOMPARE(QFileInfo(passing).size(), qint64(3 * 1024 * 1024));
    QVERIFY(write(passing + ".txt", "the user's"));

    const QByteArray before = qgetenv("VX_TEMP_DIR");
    qputenv("VX_TEMP_DIR", QFile::encodeName(temp));
    const auto restore = qScopeGuard([before] { qputenv("VX_TEMP_DIR", before); });
    QCOMPARE(TempFolder::removeAbandoned(), 1);
    QCOMPARE(namesIn(folder),
             QStringList({"c_clip.mp4.1.tmp", QFileInfo(passing).fileName() + ".txt", "clip.mp4"}));
    QCOMPARE(TestEnv::logLines().last(), "removed " + passing + ", left by an ended program");
}

QTEST_GUILESS_MAIN(TestTempFolder)
#include "tst_tempfolder.moc"
