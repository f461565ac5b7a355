#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "FilePlacement.h"

namespace
{
// A folder on the machine's memory file system, which no rename from the test folder reaches.
const char* const kOtherFileSystem = "/dev/shm";

dev_t deviceOf(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_dev : dev_t(0);
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 % 253);
    return bytes;
}

// Files larger than `bytes` cannot be written while it lives (the write fails with EFBIG instead of
// the process being stopped), so that a copy breaks off half way, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        struct rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool active() const { return m_active; }

private:
    struct rlimit m_previous = {};
    void (*m_previousHandler)(int) = nullptr;
    bool m_active = false;
};
} // namespace

// Finished files put onto their final names, on one file system and across two, on real files.
class FilePlacementTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void passingName();
    void moveRenamesOverAnOlderFile();
    void moveAcrossFileSystemsCopiesThroughThePassingName();
    void moveOntoAFolderFailsAndKeepsTheFile();
    void copyReplacesWhole();
    void copyFailureKeepsTheOldFile();
    void brokenCopyLeavesNoHalfFile();
    void brokenMoveAcrossFileSystemsLeavesNoHalfFile();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString otherPath(const QString& name) const { return m_other->filePath(name); }
    static bool write(const QString& path, const QByteArray& bytes);
    static QByteArray read(const QString& path);
    static QStringList filesIn(const QString& folder);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_other; // on another file system
};

void FilePlacementTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_other = std::make_unique<QTemporaryDir>(QString(kOtherFileSystem) + "/vx-placement-XXXXXX");
    QVERIFY2(m_other->isValid(), "no folder can be made in /dev/shm");
    QVERIFY2(deviceOf(m_dir->path()) != deviceOf(m_other->path()),
             "the test folder and /dev/shm lie on one file system: no move across file systems to try");
}

bool FilePlacementTest::write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray FilePlacementTest::read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FilePlacementTest::filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void FilePlacementTest::passingName()
{
    QCOMPARE(FilePlacement::passingName("/a/c_x.pdf", 4321), QString("/a/c_x.pdf.4321.tmp"));
    QCOMPARE(FilePlacement::passingName("/a/c_x.pdf"),
             QString("/a/c_x.pdf.%1.tmp").arg(QCoreApplication::applicationPid()));
}

void FilePlacementTest::moveRenamesOverAnOlderFile()
{
    const QByteArray bytes = pattern(200 * 1024 + 3);
    QVERIFY(write(path("made.bin"), bytes));
    QVERIFY(write(path("final.bin"), "older result"));
    QVERIFY(FilePlacement::move(path("made.bin"), path("final.bin")));
    QCOMPARE(read(path("final.bin")), bytes);
    QCOMPARE(filesIn(m_dir->path()), QStringList{"final.bin"});
}

void FilePlacementTest::moveAcrossFileSystemsCopiesThroughThePassingName()
{
    const QByteArray bytes = pattern(3 * 1024 * 1024 + 17);
    QVERIFY(write(otherPath("made.bin"), bytes));
    QVERIFY(write(path("final.bin"), "older result"));
    QVERIFY(FilePlacement::move(otherPath("made.bin"), path("final.bin")));
    QCOMPARE(read(path("final.bin")), bytes);
    QCOMPARE(filesIn(m_dir->path()), QStringList{"final.bin"});
    QCOMPARE(filesIn(m_other->path()), QStringList());

    // And to a new name, the other way round.
    QVERIFY(FilePlacement::move(path("final.bin"), otherPath("back.bin")));
    QCOMPARE(read(otherPath("back.bin")), bytes);
    QCOMPARE(filesIn(m_dir->path()), QStringList());
}

void FilePlacementTest::moveOntoAFolderFailsAndKeepsTheFile()
{
    QVERIFY(write(path("made.bin"), "made"));
    QVERIFY(QDir().mkpath(path("final.bin")));
    QVERIFY(!FilePlacement::move(path("made.bin"), path("final.bin")));
    QCOMPARE(read(path("made.bin")), QByteArray("made"));
    QVERIFY(QFileInfo(path("final.bin")).isDir());
    QCOMPARE(filesIn(m_dir->path()), QStringList({"final.bin", "made.bin"}));

    // Across file systems the copy is made, and goes again when it cannot take the name.
    QVERIFY(write(otherPath("made.bin"), "made elsewhere"));
    QVERIFY(!FilePlacement::move(otherPath("made.bin"), path("final.bin")));
    QCOMPARE(read(otherPath("made.bin")), QByteArray("made elsewhere"));
    QCOMPARE(filesIn(m_dir->path()), QStringList({"final.bin", "made.bin"}));
}

void FilePlacementTest::copyReplacesWhole()
{
    const QByteArray bytes = pattern(3 * 1024 * 1024 + 17);
    QVERIFY(write(path("from.bin"), bytes));
    QVERIFY(write(path("to.bin"), QByteArray(5 * 1024 * 1024, 'o')));
    QVERIFY(FilePlacement::copy(path("from.bin"), path("to.bin")));
    QCOMPARE(read(path("to.bin")), bytes);
    QVERIFY(FilePlacement::copy(path("from.bin"), path("new.bin")));
    QCOMPARE(read(path("new.bin")), bytes);
    QVERIFY(FilePlacement::copy(path("from.bin"), otherPath("far.bin")));
    QCOMPARE(read(otherPath("far.bin")), bytes);
    QCOMPARE(filesIn(m_dir->path()), QStringList({"from.bin", "new.bin", "to.bin"}));
    QCOMPARE(filesIn(m_other->path()), QStringList({"far.bin"}));
}

void FilePlacementTest::copyFailureKeepsTheOldFile()
{
    QVERIFY(write(path("to.bin"), "old content"));
    QVERIFY(!FilePlacement::copy(path("missing.bin"), path("to.bin")));
    QCOMPARE(read(path("to.bin")), QByteArray("old content"));
    QVERIFY(write(path("from.bin"), "new content"));
    QVERIFY(!FilePlacement::copy(path("from.bin"), path("no folder/to.bin")));
    QVERIFY(!QFileInfo::exists(path("no folder")));
    QCOMPARE(filesIn(m_dir->path()), QStringList({"from.bin", "to.bin"}));
}

void FilePlacementTest::brokenCopyLeavesNoHalfFile()
{
    // The copy breaks off after 64 KB of 1 MB: the final name keeps what it held.
    QVERIFY(write(path("from.bin"), pattern(1024 * 1024)));
    QVERIFY(write(path("to.bin"), "old content"));
    bool copied = true;
    {
        FileSizeLimit limit(64 * 1024);
        QVERIFY(limit.active());
        copied = FilePlacement::copy(path("from.bin"), path("to.bin"));
    }
    QVERIFY(!copied);
    QCOMPARE(read(path("to.bin")), QByteArray("old content"));
    QCOMPARE(filesIn(m_dir->path()), QStringList({"from.bin", "to.bin"}));

    // A new name stays absent.
    {
        FileSizeLimit limit(64 * 1024);
        copied = FilePlacement::copy(path("from.bin"), path("new.bin"));
    }
    QVERIFY(!copied);
    QCOMPARE(filesIn(m_dir->path()), QStringList({"from.bin", "to.bin"}));
}

void FilePlacementTest::brokenMoveAcrossFileSystemsLeavesNoHalfFile()
{
    const QByteArray bytes = pattern(1024 * 1024);
    QVERIFY(write(otherPath("made.bin"), bytes));
    QVERIFY(write(path("final.bin"), "older result"));
    bool moved = true;
    {
        FileSizeLimit limit(64 * 1024);
        QVERIFY(limit.active());
        moved = FilePlacement::move(otherPath("made.bin"), path("final.bin"));
    }
    QVERIFY(!moved);
    QCOMPARE(read(path("final.bin")), QByteArray("older result"));
    QCOMPARE(read(otherPath("made.bin")), bytes);
    QCOMPARE(filesIn(m_dir->path()), QStringList{"final.bin"});
    QCOMPARE(filesIn(m_other->path()), QStringList{"made.bin"});
}

QTEST_GUILESS_MAIN(FilePlacementTest)
#include "tst_fileplacement.moc"
