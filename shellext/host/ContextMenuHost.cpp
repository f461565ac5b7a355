#include "ContextMenuHost.h"

#include <QFileInfo>

#include "CComObject.h"
#include "HDropDataObject.h"
#include "IClassFactory.h"
#include "IShellExtInit.h"
#include "WinMenu.h"
#include "WinModule.h"
#include "WinRegistryApi.h"

namespace
{

constexpr UINT kFirstCommandId = 1;
constexpr UINT kLastCommandId = 0x7FFF;

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT (*)();

QString readDefault(HKEY parent, const std::wstring& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return QString();
    DWORD size = 0;
    DWORD type = 0;
    QString text;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS)
            text = QString::fromWCharArray(buffer.data());
    }
    RegCloseKey(key);
    return text;
}

QStringList subKeys(HKEY parent, const std::wstring& subKey)
{
    HKEY key = nullptr;
    QStringList names;
    if (RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names << QString::fromWCharArray(name, int(length));
    }
    RegCloseKey(key);
    return names;
}

} // namespace

ContextMenuHost::ContextMenuHost() = default;

ContextMenuHost::~ContextMenuHost()
{
    releaseHandlers();
    // Like the Shell's unloading of unused libraries: a library goes when it says it can.
    for (HMODULE module : m_modules) {
        auto canUnload = reinterpret_cast<CanUnloadNowFunction>(GetProcAddress(module, "DllCanUnloadNow"));
        if (canUnload && canUnload() == S_OK)
            FreeLibrary(module);
    }
}

void ContextMenuHost::releaseHandlers()
{
    for (Handler& handler : m_handlers)
        handler.menu->Release();
    m_handlers.clear();
    if (m_menu)
        DestroyMenu(m_menu);
    m_menu = nullptr;
}

QList<CLSID> ContextMenuHost::handlersFor(const QStringList& paths)
{
    bool files = false;
    bool folders = false;
    for (const QString& path : paths)
        (QFileInfo(path).isDir() ? folders : files) = true;
    QList<CLSID> handlers;
    QStringList types;
    if (files)
        types << "*";
    if (folders)
        types << "directory";
    for (const QString& type : types) {
        const std::wstring key = (type + "\\ShellEx\\ContextMenuHandlers").toStdWString();
        for (const QString& name : subKeys(HKEY_CLASSES_ROOT, key)) {
            // The handler's default value holds its class id (or its name is one).
            QString text = readDefault(HKEY_CLASSES_ROOT, key + L"\\" + name.toStdWString());
            if (text.isEmpty())
                text = name;
            CLSID clsid;
            if (GuidText::fromString(text.toStdWString(), &clsid) && !handlers.contains(clsid))
                handlers << clsid;
        }
    }
    return handlers;
}

QString ContextMenuHost::inprocServer(const CLSID& clsid)
{
    return readDefault(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText::toString(clsid) + L"\\InprocServer32");
}

HRESULT ContextMenuHost::createObject(const QString& libraryPath, const CLSID& clsid, REFIID iid,
                                      void** object)
{
    *object = nullptr;
    HMODULE module = LoadLibraryW(libraryPath.toStdWString().c_str());
    if (!module)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    if (!m_modules.contains(module))
        m_modules << module;
    else
        FreeLibrary(module);
    auto getClassObject =
        reinterpret_cast<GetClassObjectFunction>(GetProcAddress(module, "DllGetClassObject"));
    if (!getClassObject)
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    void* factoryPointer = nullptr;
    HRESULT result = getClassObject(clsid, IID_IClassFactory, &factoryPointer);
    if (FAILED(result))
        return result;
    IClassFactory* factory = static_cast<IClassFactory*>(factoryPointer);
    result = factory->CreateInstance(nullptr, iid, object);
    factory->Release();
    return result;
}

QVector<ContextMenuHost::Entry> ContextMenuHost::buildMenu(const QStringList& paths)
{
    releaseHandlers();
    m_menu = CreatePopupMenu();
    std::vector<std::wstring> widePaths;
    for (const QString& path : paths)
        widePaths.push_back(QFileInfo(path).absoluteFilePath().toStdWString());
    CComObject<HDropDataObject>* selection = new CComObject<HDropDataObject>;
    selection->AddRef();
    selection->setPaths(widePaths);
    UINT nextId = kFirstCommandId;
    for (const CLSID& clsid : handlersFor(paths)) {
        const QString library = inprocServer(clsid);
        void* init = nullptr;
        if (library.isEmpty() || FAILED(createObject(library, clsid, IID_IShellExtInit, &init)))
            continue;
        IShellExtInit* extInit = static_cast<IShellExtInit*>(init);
        void* menu = nullptr;
        if (SUCCEEDED(extInit->Initialize(nullptr, selection, nullptr)) &&
            SUCCEEDED(extInit->QueryInterface(IID_IContextMenu, &menu))) {
            IContextMenu* contextMenu = static_cast<IContextMenu*>(menu);
            const HRESULT used = contextMenu->QueryContextMenu(m_menu, UINT(GetMenuItemCount(m_menu)), nextId,
                                                               kLastCommandId, CMF_NORMAL);
            m_handlers.push_back({contextMenu, nextId});
            if (SUCCEEDED(used))
                nextId += UINT(used & 0xFFFF);
        }
        extInit->Release();
    }
    selection->Release();

    QVector<Entry> entries;
    for (int position = 0; position < GetMenuItemCount(m_menu); ++position) {
        wchar_t text[512] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 512;
        if (!GetMenuItemInfoW(m_menu, UINT(position), TRUE, &info))
            continue;
        Entry entry;
        entry.text = QString::fromWCharArray(text);
        entry.id = info.wID;
        // The handler whose range of identifiers holds the entry's.
        for (int h = 0; h < m_handlers.size(); ++h) {
            if (info.wID >= m_handlers[h].firstId)
                entry.handler = h;
        }
        entries << entry;
    }
    return entries;
}

bool ContextMenuHost::invoke(const QStringList& paths, const QString& entryText, QString* reason)
{
    for (const Entry& entry : buildMenu(paths)) {
        if (entry.text != entryText || entry.handler < 0)
            continue;
        const Handler& handler = m_handlers[entry.handler];
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(WORD(entry.id - handler.firstId));
        info.nShow = SW_SHOW;
        const HRESULT result = handler.menu->InvokeCommand(&info);
        if (FAILED(result)) {
            *reason = QString("the entry \"%1\" failed: 0x%2")
                          .arg(entryText)
                          .arg(quint32(result), 8, 16, QChar('0'));
            return false;
        }
        return true;
    }
    *reason = QString("no entry \"%1\" for this selection").arg(entryText);
    return false;
}
