#include <set>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "NativePath.h"
#include "TestEnv.h"
#include "Win32Api.h"
#include "WinCrt.h"

// The Windows calls of the file and system helpers as this platform carries them out.
class Win32ApiTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void nativePaths();
    void attributes();
    void deleteFileRefusals();
    void copyAndMove();
    void namedMutex();
    void systemInfoAndMemory();
    void folderSearch();
    void runtimeCalls();

private:
    std::string path(const QString& relative) const;
    void touch(const QString& relative, const QByteArray& content = QByteArray());

    QScopedPointer<QTemporaryDir> m_dir;
};

void Win32ApiTest::init()
{
    m_dir.reset(new QTemporaryDir());
    QVERIFY(m_dir->isValid());
}

std::string Win32ApiTest::path(const QString& relative) const
{
    return QFile::encodeName(m_dir->filePath(relative)).toStdString();
}

void Win32ApiTest::touch(const QString& relative, const QByteArray& content)
{
    QFile file(m_dir->filePath(relative));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void Win32ApiTest::nativePaths()
{
    QCOMPARE(NativePath::fromWide(std::wstring(L"a/中.txt")), std::string("a/\xE4\xB8\xAD.txt"));
    // A character beyond the first plane, whole or as a surrogate pair, is four UTF-8 bytes.
    QCOMPARE(NativePath::fromWide(std::wstring(L"\U0001F600")), std::string("\xF0\x9F\x98\x80"));
    const wchar_t pair[] = {0xD83D, 0xDE00, 0};
    QCOMPARE(NativePath::fromWide(pair), std::string("\xF0\x9F\x98\x80"));
    const wchar_t lone[] = {L'a', 0xD800, 0};
    QCOMPARE(NativePath::fromWide(lone), std::string());
    QCOMPARE(NativePath::fromWide(static_cast<const wchar_t*>(nullptr)), std::string());

    QVERIFY(NativePath::toWide("a/\xE4\xB8\xAD.txt") == L"a/中.txt");
    QVERIFY(NativePath::toWide("\xF0\x9F\x98\x80") == L"\U0001F600");
    // Bytes that are not UTF-8, cut-off sequences and overlong forms become U+FFFD.
    QVERIFY(NativePath::toWide("x\xFFy") == L"x\xFFFDy");
    QVERIFY(NativePath::toWide("x\xE4\xB8") == L"x\xFFFD\xFFFD");
    QVERIFY(NativePath::toWide("\xC0\xAF") == L"\xFFFD\xFFFD");
}

void Win32ApiTest::attributes()
{
    touch("plain.txt");
    touch(".dotted");
    QVERIFY(QDir().mkpath(m_dir->filePath("folder")));

    QCOMPARE(Win32Api::GetFileAttributesA(path("plain.txt").c_str()), Win32Api::kFileAttributeNormal);
    QCOMPARE(Win32Api::GetFileAttributesA(path(".dotted").c_str()), Win32Api::kFileAttributeHidden);
    QCOMPARE(Win32Api::GetFileAttributesA(path("folder").c_str()), Win32Api::kFileAttributeDirectory);
    QCOMPARE(Win32Api::GetFileAttributesA(path("missing").c_str()), Win32Api::kInvalidFileAttributes);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorFileNotFound);

    // Read-only is the owner's write permission.
    QVERIFY(Win32Api::SetFileAttributesA(path("plain.txt").c_str(), Win32Api::kFileAttributeReadOnly));
    QVERIFY(!(QFileInfo(m_dir->filePath("plain.txt")).permissions() & QFile::WriteOwner));
    QCOMPARE(Win32Api::GetFileAttributesA(path("plain.txt").c_str()), Win32Api::kFileAttributeReadOnly);
    QVERIFY(Win32Api::SetFileAttributesA(path("plain.txt").c_str(), Win32Api::kFileAttributeNormal));
    QVERIFY(QFileInfo(m_dir->filePath("plain.txt")).permissions() & QFile::WriteOwner);

    // Hidden, system and archive are kept with the file, and can be cleared again.
    const Win32Api::DWORD stored = Win32Api::kFileAttributeHidden | Win32Api::kFileAttributeSystem;
    QVERIFY(Win32Api::SetFileAttributesW(QString(m_dir->filePath("folder")).toStdWString().c_str(), stored));
    QCOMPARE(Win32Api::GetFileAttributesW(QString(m_dir->filePath("folder")).toStdWString().c_str()),
             Win32Api::kFileAttributeDirectory | stored);
    QVERIFY(Win32Api::SetFileAttributesA(path("folder").c_str(), 0));
    QCOMPARE(Win32Api::GetFileAttributesA(path("folder").c_str()), Win32Api::kFileAttributeDirectory);

    QCOMPARE(Win32Api::SetFileAttributesA(path("missing").c_str(), stored), Win32Api::kFalse);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorFileNotFound);
}

void Win32ApiTest::deleteFileRefusals()
{
    touch("readonly.txt");
    QVERIFY(QFile::setPermissions(m_dir->filePath("readonly.txt"), QFile::ReadOwner));
    QCOMPARE(Win32Api::DeleteFileA(path("readonly.txt").c_str()), Win32Api::kFalse);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorAccessDenied);
    QVERIFY(QFileInfo::exists(m_dir->filePath("readonly.txt")));

    QVERIFY(QDir().mkpath(m_dir->filePath("folder")));
    QCOMPARE(Win32Api::DeleteFileA(path("folder").c_str()), Win32Api::kFalse);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorAccessDenied);
    QVERIFY(QFileInfo(m_dir->filePath("folder")).isDir());

    QCOMPARE(Win32Api::DeleteFileA(path("missing").c_str()), Win32Api::kFalse);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorFileNotFound);
    QCOMPARE(Win32Api::DeleteFileA(nullptr), Win32Api::kFalse);

    // A link is removed itself, even when its target is read-only.
    QVERIFY(QFile::link(m_dir->filePath("readonly.txt"), m_dir->filePath("link")));
    QCOMPARE(Win32Api::DeleteFileA(path("link").c_str()), Win32Api::kTrue);
    QVERIFY(!QFileInfo(m_dir->filePath("link")).isSymLink());
    QVERIFY(QFileInfo::exists(m_dir->filePath("readonly.txt")));
}

void Win32ApiTest::copyAndMove()
{
    touch("a.txt", "a");
    touch("b.txt", "b");
    QCOMPARE(Win32Api::CopyFileA(path("a.txt").c_str(), path("b.txt").c_str(), Win32Api::kTrue),
             Win32Api::kFalse);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorFileExists);
    QCOMPARE(Win32Api::CopyFileA(path("a.txt").c_str(), path("b.txt").c_str(), Win32Api::kFalse),
             Win32Api::kTrue);
    QFile b(m_dir->filePath("b.txt"));
    QVERIFY(b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), QByteArray("a"));

    QCOMPARE(Win32Api::MoveFileA(path("a.txt").c_str(), path("b.txt").c_str()), Win32Api::kFalse);
    QVERIFY(QFileInfo::exists(m_dir->filePath("a.txt")));
    QCOMPARE(Win32Api::MoveFileW(QString(m_dir->filePath("a.txt")).toStdWString().c_str(),
                                 QString(m_dir->filePath("移.txt")).toStdWString().c_str()),
             Win32Api::kTrue);
    QVERIFY(QFileInfo::exists(m_dir->filePath("移.txt")));
    // Folders move too.
    QVERIFY(QDir().mkpath(m_dir->filePath("from/inner")));
    QCOMPARE(Win32Api::MoveFileA(path("from").c_str(), path("to").c_str()), Win32Api::kTrue);
    QVERIFY(QFileInfo(m_dir->filePath("to/inner")).isDir());
}

void Win32ApiTest::namedMutex()
{
    // The mutex's lock file goes to the system's temporary folder: keep it inside this test's folder.
    const auto restore = TestEnv::redirectSystemTemp(m_dir->path());
    const std::wstring name = L"Global\\Vornex/test " +
                              QString::number(QCoreApplication::applicationPid()).toStdWString() + L" " +
                              QString::number(QDateTime::currentMSecsSinceEpoch()).toStdWString();
    Win32Api::HANDLE first = Win32Api::CreateMutexW(nullptr, Win32Api::kFalse, name.c_str());
    QVERIFY(first);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorSuccess);

    Win32Api::HANDLE second = Win32Api::CreateMutexW(nullptr, Win32Api::kFalse, name.c_str());
    QVERIFY(second);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorAlreadyExists);
    QCOMPARE(Win32Api::CloseHandle(second), Win32Api::kTrue);

    // Closing the other handle does not release the mutex; closing the holder does.
    Win32Api::HANDLE third = Win32Api::CreateMutexW(nullptr, Win32Api::kFalse, name.c_str());
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorAlreadyExists);
    QCOMPARE(Win32Api::CloseHandle(third), Win32Api::kTrue);
    QCOMPARE(Win32Api::CloseHandle(first), Win32Api::kTrue);
    Win32Api::HANDLE fourth = Win32Api::CreateMutexW(nullptr, Win32Api::kFalse, name.c_str());
    QVERIFY(fourth);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorSuccess);
    QCOMPARE(Win32Api::CloseHandle(fourth), Win32Api::kTrue);

    QVERIFY(!Win32Api::CreateMutexW(nullptr, Win32Api::kFalse, L""));
    QCOMPARE(Win32Api::CloseHandle(nullptr), Win32Api::kFalse);
}

void Win32ApiTest::systemInfoAndMemory()
{
    Win32Api::SystemInfo info;
    Win32Api::GetNativeSystemInfo(&info);
    const QString machine = QSysInfo::currentCpuArchitecture();
    if (machine == "x86_64")
        QCOMPARE(info.wProcessorArchitecture, Win32Api::kProcessorArchitectureAmd64);
    else if (machine == "arm64")
        QCOMPARE(info.wProcessorArchitecture, Win32Api::kProcessorArchitectureArm64);
    else
        QVERIFY(info.wProcessorArchitecture != Win32Api::kProcessorArchitectureAmd64);

    auto* zeroed = static_cast<unsigned char*>(Win32Api::GlobalAlloc(Win32Api::kGmemZeroInit, 4096));
    QVERIFY(zeroed);
    for (int i = 0; i < 4096; ++i)
        QCOMPARE(int(zeroed[i]), 0);
    QVERIFY(Win32Api::GlobalFree(zeroed) == nullptr);
    void* empty = Win32Api::GlobalAlloc(Win32Api::kGmemFixed, 0);
    QVERIFY(empty);
    Win32Api::GlobalFree(empty);
    // Movable blocks (GMEM_MOVEABLE, 0x2) are not offered.
    QVERIFY(!Win32Api::GlobalAlloc(0x2, 16));
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorInvalidParameter);
}

void Win32ApiTest::folderSearch()
{
    touch("one.txt");
    touch("two.txt");
    touch("three.bin");
    touch("noextension");
    QVERIFY(QDir().mkpath(m_dir->filePath("sub")));
    QVERIFY(QDir().mkpath(m_dir->filePath("elsewhere")));
    QVERIFY(QFile::link(m_dir->filePath("elsewhere"), m_dir->filePath("link")));

    std::set<std::string> names;
    std::map<std::string, unsigned> attributes;
    WinCrt::FindData entry;
    std::intptr_t search = WinCrt::findfirst(path("*.*"), &entry);
    QVERIFY(search != -1);
    do {
        names.insert(entry.name);
        attributes[entry.name] = entry.attrib;
    } while (WinCrt::findnext(search, &entry) == 0);
    QCOMPARE(WinCrt::findclose(search), 0);
    QCOMPARE(names, (std::set<std::string>{".", "..", "one.txt", "two.txt", "three.bin", "noextension", "sub",
                                           "elsewhere", "link"}));
    QVERIFY(attributes["sub"] & WinCrt::kAttribSubdir);
    QVERIFY(!(attributes["one.txt"] & WinCrt::kAttribSubdir));
    // A link to a folder is listed as a file.
    QVERIFY(!(attributes["link"] & WinCrt::kAttribSubdir));

    std::set<std::wstring> wideNames;
    WinCrt::WideFindData wideEntry;
    search = WinCrt::wfindfirst(QString(m_dir->filePath("*.txt")).toStdWString(), &wideEntry);
    QVERIFY(search != -1);
    do
        wideNames.insert(wideEntry.name);
    while (WinCrt::wfindnext(search, &wideEntry) == 0);
    QCOMPARE(WinCrt::findclose(search), 0);
    QVERIFY(wideNames == (std::set<std::wstring>{L"one.txt", L"two.txt"}));

    QCOMPARE(WinCrt::findfirst(path("*.none"), &entry), std::intptr_t(-1));
    QCOMPARE(WinCrt::findfirst(path("missing/*.*"), &entry), std::intptr_t(-1));
    QCOMPARE(WinCrt::findclose(search), -1);
    QCOMPARE(WinCrt::findnext(search, &entry), -1);
}

void Win32ApiTest::runtimeCalls()
{
    touch("数据.bin", QByteArray(1234, 'x'));
    const std::wstring wide = QString(m_dir->filePath("数据.bin")).toStdWString();
    QCOMPARE(WinCrt::waccess(wide, 0), 0);
    QCOMPARE(WinCrt::access(path("missing"), 0), -1);
    std::FILE* file = WinCrt::wfopen(wide, "rb");
    QVERIFY(file);
    QCOMPARE(WinCrt::filelength(file), 1234LL);
    std::fclose(file);
    QCOMPARE(WinCrt::filelength(nullptr), -1LL);
    QVERIFY(!WinCrt::fopen(std::string(), "rb"));

    QCOMPARE(WinCrt::mkdir(path("made")), 0);
    QCOMPARE(WinCrt::mkdir(path("made")), -1);
    QCOMPARE(WinCrt::wrmdir(QString(m_dir->filePath("made")).toStdWString()), 0);

    QCOMPARE(WinCrt::fullpath("/a/b/../c/./d/"), std::string("/a/c/d/"));
    QVERIFY(WinCrt::wfullpath(L"/甲/../乙") == L"/乙");
    QCOMPARE(WinCrt::fullpath(std::string()), std::string());
}

QTEST_GUILESS_MAIN(Win32ApiTest)
#include "tst_win32api.moc"
