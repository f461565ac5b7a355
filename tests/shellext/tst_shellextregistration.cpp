#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "ServerRegistration.h"
#include "ShellExtEnv.h"
#include "WinModule.h"
#include "WinRegistryApi.h"

namespace
{

const QString kClsid = "{aa628925-8e1f-4ffd-b36f-07a983611bef}";
const QString kLibid = "{d75aeb67-f11b-4a57-945f-11ba840d758f}";
const QString kIid = "{971679dc-9a64-4836-a2a1-a3becf469d81}";
const QString kProxy = "{00020424-0000-0000-C000-000000000046}";

// Every key below `path` of the hive as "key" lines and "key|name=value" lines for its text
// values, read through the registry calls.
void collect(HKEY parent, const QString& path, QStringList* lines)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.toStdWString().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    lines->append(path);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD nameLength = 256;
        BYTE data[4096] = {};
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        const QString valueName = nameLength ? QString::fromWCharArray(name, int(nameLength)) : QString("@");
        lines->append(path + "|" + valueName + "=" +
                      QString::fromWCharArray(reinterpret_cast<wchar_t*>(data)));
    }
    QStringList children;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children << QString::fromWCharArray(name, int(length));
    }
    RegCloseKey(key);
    for (const QString& child : children)
        collect(parent, path + "\\" + child, lines);
}

QStringList storeOf(HKEY hive)
{
    QStringList lines;
    collect(hive, "Software", &lines);
    lines.sort();
    return lines;
}

QStringList prefixed(const QStringList& lines)
{
    QStringList result;
    for (const QString& line : lines)
        result << "Software\\Classes\\" + line;
    return result;
}

// What unregistration leaves: the keys the script marks NoRemove and the parents of the type
// library's keys, which Windows never removes either.
QStringList keptKeys()
{
    QStringList lines =
        prefixed({"*", "*\\ShellEx", "*\\ShellEx\\ContextMenuHandlers", "CLSID", "Interface", "TypeLib",
                  "directory", "directory\\ShellEx", "directory\\ShellEx\\ContextMenuHandlers"});
    lines << "Software"
          << "Software\\Classes";
    lines.sort();
    return lines;
}

QStringList registeredKeys(const QString& library)
{
    const QString folder = QFileInfo(library).path();
    const QString handler = "ShellEx\\ContextMenuHandlers\\PelmoMenuExt";
    QStringList lines = prefixed({
        "CLSID\\" + kClsid,
        "CLSID\\" + kClsid + "|@=PelmoMenuExt class",
        "CLSID\\" + kClsid + "\\InprocServer32",
        "CLSID\\" + kClsid + "\\InprocServer32|@=" + library,
        "CLSID\\" + kClsid + "\\InprocServer32|ThreadingModel=Apartment",
        "directory\\" + handler,
        "directory\\" + handler + "|@=" + kClsid,
        "*\\" + handler,
        "*\\" + handler + "|@=" + kClsid,
        "TypeLib\\" + kLibid,
        "TypeLib\\" + kLibid + "\\1.0",
        "TypeLib\\" + kLibid + "\\1.0|@=pelmomenuLib",
        "TypeLib\\" + kLibid + "\\1.0\\FLAGS",
        "TypeLib\\" + kLibid + "\\1.0\\FLAGS|@=0",
        "TypeLib\\" + kLibid + "\\1.0\\0",
        "TypeLib\\" + kLibid + "\\1.0\\0\\win64",
        "TypeLib\\" + kLibid + "\\1.0\\0\\win64|@=" + library,
        "TypeLib\\" + kLibid + "\\1.0\\HELPDIR",
        "TypeLib\\" + kLibid + "\\1.0\\HELPDIR|@=" + folder,
        "Interface\\" + kIid,
        "Interface\\" + kIid + "|@=IPelmoMenuExt",
        "Interface\\" + kIid + "\\ProxyStubClsid",
        "Interface\\" + kIid + "\\ProxyStubClsid|@=" + kProxy,
        "Interface\\" + kIid + "\\ProxyStubClsid32",
        "Interface\\" + kIid + "\\ProxyStubClsid32|@=" + kProxy,
        "Interface\\" + kIid + "\\TypeLib",
        "Interface\\" + kIid + "\\TypeLib|@=" + kLibid,
        "Interface\\" + kIid + "\\TypeLib|Version=1.0",
    });
    lines << keptKeys();
    lines.sort();
    return lines;
}

using InstallFunction = HRESULT (*)(BOOL, LPCWSTR);
using RegisterFunction = HRESULT (*)();

} // namespace

// Registration of the extension through its exports: the script's keys per machine and per user,
// what unregistration keeps, and undoing a failed registration.
class ShellExtRegistrationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandLineChoosesTheHive_data();
    void commandLineChoosesTheHive();
    void unregistrationKeepsTheNoRemoveKeys();
    void failedRegistrationUnderDllInstallIsUndone();
    void failedDllRegisterServerKeepsWhatItWrote();
    void perUserChoiceHoldsForOneCallOnly();
    void handlerKeysLeadToTheLibrary();

private:
    HRESULT install(BOOL doInstall, const wchar_t* commandLine);
    void blockKey(bool perUser, const QString& key);

    QScopedPointer<QTemporaryDir> m_dir;
    HMODULE m_module = nullptr;
};

void ShellExtRegistrationTest::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    ShellExtEnv::isolate(*m_dir);
    m_module = LoadLibraryW(ShellExtEnv::libraryPath().toStdWString().c_str());
    QVERIFY(m_module);
}

void ShellExtRegistrationTest::cleanup()
{
    if (m_module)
        FreeLibrary(m_module);
    m_module = nullptr;
}

HRESULT ShellExtRegistrationTest::install(BOOL doInstall, const wchar_t* commandLine)
{
    auto dllInstall = reinterpret_cast<InstallFunction>(GetProcAddress(m_module, "DllInstall"));
    return dllInstall ? dllInstall(doInstall, commandLine) : E_FAIL;
}

void ShellExtRegistrationTest::blockKey(bool perUser, const QString& key)
{
    // Something that is not a key where the key would go: creating it fails.
    const QString hive =
        m_dir->path() + (perUser ? "/home/.local/state/vornex/registry" : "/machine-state/registry");
    QVERIFY(QDir().mkpath(hive + "/Software/Classes"));
    QFile blocker(hive + "/Software/Classes/" + key);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
}

void ShellExtRegistrationTest::commandLineChoosesTheHive_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("nullCommandLine");
    QTest::addColumn<bool>("perUser");
    QTest::newRow("user") << "user" << false << true;
    QTest::newRow("USER in capitals") << "USER" << false << true;
    QTest::newRow("users: five letters") << "users" << false << false;
    QTest::newRow("null command line") << QString() << true << false;
}

void ShellExtRegistrationTest::commandLineChoosesTheHive()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, nullCommandLine);
    QFETCH(bool, perUser);
    const std::wstring text = commandLine.toStdWString();
    QCOMPARE(install(TRUE, nullCommandLine ? nullptr : text.c_str()), S_OK);
    const QStringList expected = registeredKeys(ShellExtEnv::libraryPath());
    QCOMPARE(storeOf(perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE), expected);
    QCOMPARE(storeOf(perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER), QStringList());
}

void ShellExtRegistrationTest::unregistrationKeepsTheNoRemoveKeys()
{
    QCOMPARE(install(TRUE, L"user"), S_OK);
    QCOMPARE(install(FALSE, L"user"), S_OK);
    QCOMPARE(storeOf(HKEY_CURRENT_USER), keptKeys());

    QCOMPARE(install(TRUE, nullptr), S_OK);
    auto unregister = reinterpret_cast<RegisterFunction>(GetProcAddress(m_module, "DllUnregisterServer"));
    QVERIFY(unregister);
    QCOMPARE(unregister(), S_OK);
    QCOMPARE(storeOf(HKEY_LOCAL_MACHINE), keptKeys());
    // A second unregistration finds nothing more to do.
    QCOMPARE(install(FALSE, L"user"), S_OK);
    QCOMPARE(storeOf(HKEY_CURRENT_USER), keptKeys());
}

void ShellExtRegistrationTest::failedRegistrationUnderDllInstallIsUndone()
{
    blockKey(true, "directory");
    QCOMPARE(install(TRUE, L"user"), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    // The class keys written before the failure are gone again; the NoRemove key stays.
    const QStringList left = {"Software", "Software\\Classes", "Software\\Classes\\CLSID"};
    QCOMPARE(storeOf(HKEY_CURRENT_USER), left);
}

void ShellExtRegistrationTest::failedDllRegisterServerKeepsWhatItWrote()
{
    blockKey(false, "directory");
    auto registerServer = reinterpret_cast<RegisterFunction>(GetProcAddress(m_module, "DllRegisterServer"));
    QVERIFY(registerServer);
    QCOMPARE(registerServer(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    const QStringList store = storeOf(HKEY_LOCAL_MACHINE);
    QVERIFY(store.contains("Software\\Classes\\CLSID\\" + kClsid +
                           "\\InprocServer32|@=" + ShellExtEnv::libraryPath()));
    QVERIFY(!store.contains("Software\\Classes\\*"));
}

void ShellExtRegistrationTest::perUserChoiceHoldsForOneCallOnly()
{
    QCOMPARE(install(TRUE, L"user"), S_OK);
    QCOMPARE(install(TRUE, nullptr), S_OK);
    QCOMPARE(storeOf(HKEY_LOCAL_MACHINE), registeredKeys(ShellExtEnv::libraryPath()));
}

void ShellExtRegistrationTest::handlerKeysLeadToTheLibrary()
{
    QCOMPARE(ServerRegistration::install(ShellExtEnv::libraryPath(), true, true), S_OK);
    for (const wchar_t* key : {L"*\\ShellEx\\ContextMenuHandlers\\PelmoMenuExt",
                               L"directory\\ShellEx\\ContextMenuHandlers\\PelmoMenuExt"}) {
        HKEY handler = nullptr;
        QCOMPARE(RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &handler), ERROR_SUCCESS);
        wchar_t text[64] = {};
        DWORD size = sizeof(text);
        QCOMPARE(RegQueryValueExW(handler, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
                 ERROR_SUCCESS);
        QCOMPARE(QString::fromWCharArray(text), kClsid);
        RegCloseKey(handler);
    }
    QCOMPARE(ServerRegistration::install(ShellExtEnv::libraryPath(), true, false), S_OK);
    QCOMPARE(ServerRegistration::install(m_dir->path() + "/missing.so", true, true),
             HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
}

QTEST_GUILESS_MAIN(ShellExtRegistrationTest)
#include "tst_shellextregistration.moc"
