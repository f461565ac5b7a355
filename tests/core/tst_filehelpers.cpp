#include <climits>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "FileHelpers.h"
#include "SystemHelpers.h"
#include "TestEnv.h"
#include "Win32Api.h"

Q_DECLARE_METATYPE(std::string)

// The file, folder and system helpers on real temporary folders.
class FileHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void removeDirectoryRemovesTheTree();
    void removeDirectoryKeepsWhatItMayNotRemove();
    void removeDirectoryRefusals();
    void makeDirectoriesCreatesParents();
    void fileExistsForFilesAndFolders();
    void fileName_data();
    void fileName();
    void extensionOf_data();
    void extensionOf();
    void pathsAgainstTheCurrentFolder();
    void hideFileSetsHiddenAndSystem();
    void createEmptyFileCutsContent();
    void moveAndCopy();
    void readAndWriteBinaryContent();
    void readAndWriteFailures();
    void widePaths();
    void instanceMutex();
    void systemArchitecture();

private:
    std::string path(const QString& relative) const;
    static void writeText(const std::string& file, const QByteArray& content);
    static QByteArray readText(const std::string& file);

    QTemporaryDir* m_dir = nullptr;
    QScopedPointer<QTemporaryDir> m_owner;
};

void FileHelpersTest::init()
{
    m_owner.reset(new QTemporaryDir());
    m_dir = m_owner.data();
    QVERIFY(m_dir->isValid());
}

std::string FileHelpersTest::path(const QString& relative) const
{
    return QFile::encodeName(m_dir->filePath(relative)).toStdString();
}

void FileHelpersTest::writeText(const std::string& file, const QByteArray& content)
{
    QFile out(QFile::decodeName(file.c_str()));
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(content), qint64(content.size()));
}

QByteArray FileHelpersTest::readText(const std::string& file)
{
    QFile in(QFile::decodeName(file.c_str()));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<unreadable>");
}

void FileHelpersTest::removeDirectoryRemovesTheTree()
{
    QVERIFY(QDir().mkpath(m_dir->filePath("tree/a/b/c")));
    QVERIFY(QDir().mkpath(m_dir->filePath("tree/empty")));
    writeText(path("tree/top.txt"), "1");
    writeText(path("tree/a/mid.bin"), QByteArray(100, '\0'));
    writeText(path("tree/a/b/c/deep.txt"), "3");
    writeText(path("tree/a/.hidden"), "4");
    writeText(path("tree/noextension"), "5");

    QVERIFY(removeDirectory(path("tree")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("tree")));

    // A trailing separator is accepted.
    QVERIFY(QDir().mkpath(m_dir->filePath("second/x")));
    QVERIFY(removeDirectory(path("second/")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("second")));
}

void FileHelpersTest::removeDirectoryKeepsWhatItMayNotRemove()
{
    QVERIFY(QDir().mkpath(m_dir->filePath("kept/system")));
    writeText(path("kept/readonly.txt"), "stay");
    writeText(path("kept/plain.txt"), "go");
    writeText(path("kept/system/inside.txt"), "stay too");
    QVERIFY(QFile::setPermissions(m_dir->filePath("kept/readonly.txt"), QFile::ReadOwner));
    QVERIFY(hideFile(path("kept/system")));

    // A link to a folder outside is removed as a link; the folder it points to is not entered.
    QVERIFY(QDir().mkpath(m_dir->filePath("outside")));
    writeText(path("outside/precious.txt"), "keep");
    QVERIFY(QFile::link(m_dir->filePath("outside"), m_dir->filePath("kept/link")));

    QVERIFY(removeDirectory(path("kept")));
    QVERIFY(QFileInfo::exists(m_dir->filePath("kept/readonly.txt")));
    QVERIFY(QFileInfo::exists(m_dir->filePath("kept/system/inside.txt")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("kept/plain.txt")));
    QVERIFY(!QFileInfo(m_dir->filePath("kept/link")).isSymLink());
    QCOMPARE(readText(path("outside/precious.txt")), QByteArray("keep"));
}

void FileHelpersTest::removeDirectoryRefusals()
{
    QVERIFY(!removeDirectory(path("missing")));
    QVERIFY(!removeDirectory(std::string()));
    QVERIFY(!removeDirectory(std::wstring()));
    writeText(path("file.txt"), "x");
    QVERIFY(!removeDirectory(path("file.txt")));
    QVERIFY(QFileInfo::exists(m_dir->filePath("file.txt")));
}

void FileHelpersTest::makeDirectoriesCreatesParents()
{
    QVERIFY(makeDirectories(path("x/y/z")));
    QVERIFY(QFileInfo(m_dir->filePath("x/y/z")).isDir());
    QVERIFY(makeDirectories(path("x/y/z")));
    // A trailing separator still reports the folder it made.
    QVERIFY(makeDirectories(path("p/q/")));
    QVERIFY(QFileInfo(m_dir->filePath("p/q")).isDir());
    QVERIFY(makeDirectories("."));
    QVERIFY(makeDirectories(".."));
    QVERIFY(!makeDirectories(std::string()));
    // Nothing can be made under a file.
    writeText(path("plain"), "x");
    QVERIFY(!makeDirectories(path("plain/sub/deeper")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("plain/sub")));
}

void FileHelpersTest::fileExistsForFilesAndFolders()
{
    writeText(path("here.txt"), "");
    QVERIFY(fileExists(path("here.txt")));
    QVERIFY(fileExists(path("")));
    QVERIFY(!fileExists(path("not-here.txt")));
    QVERIFY(!fileExists(std::string()));
}

void FileHelpersTest::fileName_data()
{
    QTest::addColumn<std::string>("path");
    QTest::addColumn<std::string>("name");

    QTest::newRow("file in folders") << std::string("/a/b/c.txt") << std::string("c.txt");
    QTest::newRow("folder with separator") << std::string("/a/b/") << std::string("b");
    QTest::newRow("bare name") << std::string("c.txt") << std::string();
    QTest::newRow("one separator") << std::string("/") << std::string();
    QTest::newRow("empty") << std::string() << std::string();
    QTest::newRow("one character") << std::string("a") << std::string();
    QTest::newRow("root file") << std::string("/x") << std::string("x");
}

void FileHelpersTest::fileName()
{
    QFETCH(std::string, path);
    QFETCH(std::string, name);
    QCOMPARE(::fileName(path), name);
    QVERIFY(::fileName(QString::fromStdString(path).toStdWString()) ==
            QString::fromStdString(name).toStdWString());
}

void FileHelpersTest::extensionOf_data()
{
    QTest::addColumn<std::string>("path");
    QTest::addColumn<std::string>("extension");

    QTest::newRow("last suffix") << std::string("/a/archive.tar.gz") << std::string(".gz");
    QTest::newRow("dot only in the folder") << std::string("/a.dir/file") << std::string();
    QTest::newRow("bare name") << std::string("c.txt") << std::string();
    QTest::newRow("hidden file") << std::string("/a/.profile") << std::string(".profile");
}

void FileHelpersTest::extensionOf()
{
    QFETCH(std::string, path);
    QFETCH(std::string, extension);
    QCOMPARE(::extensionOf(path), extension);
}

void FileHelpersTest::pathsAgainstTheCurrentFolder()
{
    const QString before = QDir::currentPath();
    QVERIFY(changeDirectory(path("")));
    const std::string here = QFile::encodeName(QDir::currentPath()).toStdString();
    QCOMPARE(here, QFile::encodeName(QDir(m_dir->path()).canonicalPath()).toStdString());

    QCOMPARE(fullPath("name.txt"), here + "/name.txt");
    QCOMPARE(fullPath("/a/./b/../c"), std::string("/a/c"));
    QCOMPARE(directoryOf("name.txt"), here + "/");
    QCOMPARE(directoryOf("/a/b/c.txt"), std::string("/a/b/"));
    QCOMPARE(directoryOf("/a/b/"), std::string("/a/"));
    QVERIFY(directoryOf(std::wstring(L"/甲/乙.txt")) == L"/甲/");
    // Longer than the platform's path buffer: no result.
    QCOMPARE(fullPath("/" + std::string(PATH_MAX, 'n')), std::string());

    QVERIFY(!changeDirectory(path("missing")));
    QVERIFY(changeDirectory(QFile::encodeName(before).toStdString()));
}

void FileHelpersTest::hideFileSetsHiddenAndSystem()
{
    writeText(path("visible.txt"), "x");
    QVERIFY(hideFile(path("visible.txt")));
    const Win32Api::DWORD attributes = Win32Api::GetFileAttributesA(path("visible.txt").c_str());
    QVERIFY(attributes & Win32Api::kFileAttributeHidden);
    QVERIFY(attributes & Win32Api::kFileAttributeSystem);
    QVERIFY(!hideFile(path("missing.txt")));
}

void FileHelpersTest::createEmptyFileCutsContent()
{
    QVERIFY(createEmptyFile(path("new.txt")));
    QCOMPARE(QFileInfo(m_dir->filePath("new.txt")).size(), qint64(0));
    writeText(path("full.txt"), "content");
    QVERIFY(createEmptyFile(path("full.txt")));
    QCOMPARE(QFileInfo(m_dir->filePath("full.txt")).size(), qint64(0));
    QVERIFY(!createEmptyFile(path("no/such/folder.txt")));
}

void FileHelpersTest::moveAndCopy()
{
    writeText(path("source.txt"), "source");
    writeText(path("target.txt"), "target");

    QVERIFY(!copyFile(path("source.txt"), path("target.txt"), false));
    QCOMPARE(readText(path("target.txt")), QByteArray("target"));
    QVERIFY(copyFile(path("source.txt"), path("target.txt"), true));
    QCOMPARE(readText(path("target.txt")), QByteArray("source"));
    QVERIFY(copyFile(path("source.txt"), path("copy.txt"), false));
    QCOMPARE(readText(path("copy.txt")), QByteArray("source"));
    QVERIFY(!copyFile(path("missing.txt"), path("other.txt"), true));

    writeText(path("target.txt"), "target");
    QCOMPARE(moveFile(path("source.txt"), path("target.txt")), Win32Api::kFalse);
    QCOMPARE(readText(path("source.txt")), QByteArray("source"));
    QCOMPARE(readText(path("target.txt")), QByteArray("target"));
    QVERIFY(moveFile(path("source.txt"), path("moved.txt")) != Win32Api::kFalse);
    QVERIFY(!QFileInfo::exists(m_dir->filePath("source.txt")));
    QCOMPARE(readText(path("moved.txt")), QByteArray("source"));

    QVERIFY(deleteFile(path("moved.txt")));
    QVERIFY(!deleteFile(path("moved.txt")));
}

void FileHelpersTest::readAndWriteBinaryContent()
{
    std::string all;
    for (int round = 0; round < 40; ++round)
        for (int i = 0; i < 256; ++i)
            all += static_cast<char>(i);
    QVERIFY(writeFile(path("bytes.bin"), all));
    QCOMPARE(QFileInfo(m_dir->filePath("bytes.bin")).size(), qint64(all.size()));
    std::string content = "stale";
    QVERIFY(readFile(path("bytes.bin"), content));
    QVERIFY(content == all);

    const char zeros[] = {'\0', 'a', '\0', '\0', 'b'};
    QVERIFY(writeFile(path("bytes.bin"), zeros, sizeof(zeros)));
    QVERIFY(readFile(path("bytes.bin"), content));
    QCOMPARE(content, std::string(zeros, sizeof(zeros)));

    QVERIFY(writeFile(path("empty.bin"), std::string()));
    content = "stale";
    QVERIFY(readFile(path("empty.bin"), content));
    QCOMPARE(content, std::string());
}

void FileHelpersTest::readAndWriteFailures()
{
    std::string content;
    QVERIFY(!readFile(path("missing.bin"), content));
    // A folder opens but cannot be read.
    QVERIFY(QDir().mkpath(m_dir->filePath("folder")));
    content = "stale";
    QVERIFY(!readFile(path("folder"), content));
    QCOMPARE(content, std::string());

    QVERIFY(!writeFile(path("no/such/folder.bin"), std::string("x")));
    QVERIFY(!writeFile(path("null.bin"), nullptr, 4));
    // A device that refuses every byte: the write is reported as failed.
    if (QFileInfo::exists("/dev/full"))
        QVERIFY(!writeFile(std::string("/dev/full"), std::string(100000, 'x')));
}

void FileHelpersTest::widePaths()
{
    const std::wstring folder = QString(m_dir->filePath("文件夹")).toStdWString();
    QVERIFY(makeDirectories(folder + L"/子/孙"));
    QVERIFY(QFileInfo(m_dir->filePath("文件夹/子/孙")).isDir());
    const std::wstring file = folder + L"/子/数据.bin";
    const std::string data("\x00\xFF\x10\x00", 4);
    QVERIFY(writeFile(file, data));
    QVERIFY(fileExists(file));
    std::string content;
    QVERIFY(readFile(file, content));
    QCOMPARE(content, data);
    QVERIFY(::fileName(file) == L"数据.bin");
    QVERIFY(::extensionOf(file) == L".bin");
    QVERIFY(copyFile(file, folder + L"/副本.bin", false));
    QVERIFY(!copyFile(file, folder + L"/副本.bin", false));
    QVERIFY(moveFile(folder + L"/副本.bin", folder + L"/移动.bin") != Win32Api::kFalse);
    QVERIFY(hideFile(folder + L"/移动.bin"));
    QVERIFY(createEmptyFile(folder + L"/空.txt"));
    QVERIFY(deleteFile(folder + L"/空.txt"));
    QVERIFY(removeDirectory(folder));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("文件夹")));
}

void FileHelpersTest::instanceMutex()
{
    // The mutex's lock file goes to the system's temporary folder: keep it inside this test's folder.
    const auto restore = TestEnv::redirectSystemTemp(m_dir->path());
    const std::wstring name = L"Vornex-test-" +
                              QString::number(QCoreApplication::applicationPid()).toStdWString() + L"-" +
                              QString::number(QDateTime::currentMSecsSinceEpoch()).toStdWString();
    // The first call takes the mutex for this process; from then on an instance is running.
    QVERIFY(!isInstanceRunning(name));
    QVERIFY(isInstanceRunning(name));
    QVERIFY(isInstanceRunning(name));
    QVERIFY(!isInstanceRunning(name + L"-other"));
}

void FileHelpersTest::systemArchitecture()
{
    const QString machine = QSysInfo::currentCpuArchitecture();
    QCOMPARE(is64BitSystem(), machine == "x86_64" || machine == "ia64");
}

QTEST_GUILESS_MAIN(FileHelpersTest)
#include "tst_filehelpers.moc"
