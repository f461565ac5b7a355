#include <sys/mman.h>

#include <cstring>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "CComObject.h"
#include "ContextMenuHost.h"
#include "GlobalMemory.h"
#include "HDropDataObject.h"
#include "IClassFactory.h"
#include "IContextMenu.h"
#include "IDispatch.h"
#include "IShellExtInit.h"
#include "ShellExtEnv.h"
#include "WinGdi.h"
#include "WinMenu.h"
#include "WinModule.h"

namespace
{

const wchar_t* const kEntry = L"用Vornex打开";

CLSID handlerClass()
{
    CLSID clsid = {};
    GuidText::fromString(L"{aa628925-8e1f-4ffd-b36f-07a983611bef}", &clsid);
    return clsid;
}

// A selection whose data cannot be had, or comes on a medium without memory, or holds no names.
class BrokenSelection : public HDropDataObject
{
public:
    enum class Fault { NoData, NoMemory, EmptyList };
    Fault m_fault = Fault::NoData;
    int m_released = 0;

    STDMETHOD(GetData)(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (m_fault == Fault::NoData)
            return DV_E_FORMATETC;
        if (m_fault == Fault::NoMemory) {
            // The medium is released through this object: a count of the releases.
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = nullptr;
            CComObject<Releaser>* releaser = new CComObject<Releaser>;
            releaser->m_owner = this;
            releaser->AddRef();
            medium->pUnkForRelease = releaser;
            return S_OK;
        }
        setPaths({});
        return HDropDataObject::GetData(format, medium);
    }

    class Releaser : public HDropDataObject
    {
    public:
        ~Releaser() { ++m_owner->m_released; }
        BrokenSelection* m_owner = nullptr;
    };
};

template <class T> class Object
{
public:
    Object()
        : m_object(new CComObject<T>)
    {
        m_object->AddRef();
    }
    ~Object() { m_object->Release(); }
    CComObject<T>* operator->() { return m_object; }
    CComObject<T>* get() { return m_object; }

private:
    CComObject<T>* m_object;
};

} // namespace

// The context-menu handler, created through the library's class factory: which selections get
// the entry, the entry itself, its command and help texts, and the wide-string helpers' rules.
class ContextMenuHandlerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void selectionRules_data();
    void selectionRules();
    void defaultOnlyInsertsNothing();
    void entryAfterTwelveEntries();
    void helpTexts();
    void textVerbsAreRefused();
    void onlyTheOwnOffsetAnswers();
    void repeatedInitializeReplacesTheSelection();
    void longPathIsReadWhole();
    void failedInitializeKeepsTheState_data();
    void failedInitializeKeepsTheState();
    void interfacesAndAggregation();
    void menuPicture();

private:
    bool initialize(const QStringList& paths);
    HRESULT query(HMENU menu, UINT first, UINT flags = CMF_NORMAL);
    QString entryText(HMENU menu, int position, UINT* id = nullptr, HBITMAP* picture = nullptr);

    QTemporaryDir m_dir;
    ContextMenuHost* m_host = nullptr;
    IShellExtInit* m_init = nullptr;
    IContextMenu* m_menu = nullptr;
};

void ContextMenuHandlerTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ShellExtEnv::isolate(m_dir);
    QVERIFY(QDir().mkpath(m_dir.path() + "/holiday.mov"));
}

void ContextMenuHandlerTest::init()
{
    m_host = new ContextMenuHost;
    void* object = nullptr;
    QCOMPARE(m_host->createObject(ShellExtEnv::libraryPath(), handlerClass(), IID_IShellExtInit, &object),
             S_OK);
    m_init = static_cast<IShellExtInit*>(object);
    QCOMPARE(m_init->QueryInterface(IID_IContextMenu, &object), S_OK);
    m_menu = static_cast<IContextMenu*>(object);
}

void ContextMenuHandlerTest::cleanup()
{
    if (m_menu)
        m_menu->Release();
    if (m_init)
        m_init->Release();
    m_menu = nullptr;
    m_init = nullptr;
    delete m_host;
    m_host = nullptr;
}

bool ContextMenuHandlerTest::initialize(const QStringList& paths)
{
    Object<HDropDataObject> selection;
    std::vector<std::wstring> wide;
    for (const QString& path : paths)
        wide.push_back(path.toStdWString());
    selection->setPaths(wide);
    return m_init->Initialize(nullptr, selection.get(), nullptr) == S_OK;
}

HRESULT ContextMenuHandlerTest::query(HMENU menu, UINT first, UINT flags)
{
    return m_menu->QueryContextMenu(menu, UINT(GetMenuItemCount(menu)), first, first + 100, flags);
}

QString ContextMenuHandlerTest::entryText(HMENU menu, int position, UINT* id, HBITMAP* picture)
{
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 256;
    if (!GetMenuItemInfoW(menu, UINT(position), TRUE, &info))
        return QString();
    if (id)
        *id = info.wID;
    if (picture)
        *picture = info.hbmpUnchecked;
    return QString::fromWCharArray(text);
}

void ContextMenuHandlerTest::selectionRules_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("offered");
    const QString d = m_dir.path();
    QTest::newRow("Clip.MP4, case ignored") << QStringList{d + "/v/Clip.MP4"} << true;
    QTest::newRow("report.pdf") << QStringList{d + "/report.pdf"} << true;
    QTest::newRow("report.pdf.txt") << QStringList{d + "/report.pdf.txt"} << false;
    QTest::newRow(".pdf alone") << QStringList{".pdf"} << false;
    QTest::newRow("two supported files") << QStringList{d + "/a.png", d + "/b.png"} << false;
    QTest::newRow("folder holiday.mov") << QStringList{d + "/holiday.mov"} << true;
    QTest::newRow("jpeg: only the three-letter suffix") << QStringList{d + "/photo.jpeg"} << false;
    QTest::newRow("Word is not offered") << QStringList{d + "/letter.docx"} << false;
    for (const char* suffix : {"pdf", "mp4", "mkv", "avi", "wmv", "flv", "mov", "png", "jpg", "gif", "bmp"})
        QTest::newRow(suffix) << QStringList{d + "/f." + suffix} << true;
    QTest::newRow("a double quote cannot be passed") << QStringList{d + "/say \"hi\".png"} << false;
}

void ContextMenuHandlerTest::selectionRules()
{
    QFETCH(QStringList, paths);
    QFETCH(bool, offered);
    QVERIFY(initialize(paths));
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 100), offered ? HRESULT(1) : S_OK);
    QCOMPARE(GetMenuItemCount(menu), offered ? 1 : 0);
    if (offered)
        QCOMPARE(entryText(menu, 0), QString::fromWCharArray(kEntry));
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::defaultOnlyInsertsNothing()
{
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1, CMF_DEFAULTONLY), S_OK);
    QCOMPARE(GetMenuItemCount(menu), 0);
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::entryAfterTwelveEntries()
{
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    HMENU menu = CreatePopupMenu();
    for (UINT i = 0; i < 12; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STRING;
        info.wID = i;
        info.dwTypeData = const_cast<wchar_t*>(L"other");
        QVERIFY(InsertMenuItemW(menu, i, TRUE, &info));
    }
    QCOMPARE(int(sizeof(MENUITEMINFOW)), 80);
    // Inserted by position 3 of the twelve, with the identifier first + 12.
    QCOMPARE(m_menu->QueryContextMenu(menu, 3, 500, 600, CMF_NORMAL), HRESULT(13));
    QCOMPARE(GetMenuItemCount(menu), 13);
    UINT id = 0;
    QCOMPARE(entryText(menu, 3, &id), QString::fromWCharArray(kEntry));
    QCOMPARE(id, UINT(512));
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::helpTexts()
{
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), HRESULT(1));
    wchar_t wide[64];
    std::wmemset(wide, L'#', 64);
    QCOMPARE(m_menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 10), S_OK);
    QCOMPARE(QString::fromWCharArray(wide), QString("This is t"));
    QCOMPARE(wide[10], L'#');
    char narrow[64] = {};
    QCOMPARE(m_menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, narrow, 64), S_OK);
    QCOMPARE(QString(narrow), QString("This is the simple shell extension's help"));
    QCOMPARE(m_menu->GetCommandString(0, GCS_VERBW, nullptr, narrow, 64), E_INVALIDARG);
    QCOMPARE(m_menu->GetCommandString(0, GCS_VALIDATEA, nullptr, narrow, 64), E_INVALIDARG);
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::textVerbsAreRefused()
{
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), HRESULT(1));
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = "open";
    QCOMPARE(m_menu->InvokeCommand(&info), E_INVALIDARG);
    // A text whose address has zeros in bits 16 to 31 is still a text.
    // Addresses of that kind outside the areas a sanitizer reserves.
    void* page = MAP_FAILED;
    for (const unsigned long long address : {0x520000000000ull, 0x3f0000000000ull, 0x100000000000ull}) {
        page = mmap(reinterpret_cast<void*>(address), 4096, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (page != MAP_FAILED)
            break;
    }
    QVERIFY(page != MAP_FAILED);
    std::strcpy(static_cast<char*>(page), "open");
    QCOMPARE(reinterpret_cast<UINT_PTR>(page) & 0xFFFF0000u, UINT_PTR(0));
    info.lpVerb = static_cast<const char*>(page);
    QCOMPARE(m_menu->InvokeCommand(&info), E_INVALIDARG);
    munmap(page, 4096);
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::onlyTheOwnOffsetAnswers()
{
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    HMENU menu = CreatePopupMenu();
    for (UINT i = 0; i < 2; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<wchar_t*>(L"other");
        InsertMenuItemW(menu, i, TRUE, &info);
    }
    QCOMPARE(query(menu, 40), HRESULT(3));
    char text[64] = {};
    QCOMPARE(m_menu->GetCommandString(2, GCS_HELPTEXTA, nullptr, text, 64), S_OK);
    QCOMPARE(QString(text), QString("This is the simple shell extension's help"));
    QCOMPARE(m_menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, 64), E_INVALIDARG);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(0);
    QCOMPARE(m_menu->InvokeCommand(&info), E_INVALIDARG);
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::repeatedInitializeReplacesTheSelection()
{
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    QVERIFY(initialize({m_dir.path() + "/other.png"}));
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), HRESULT(1));
    DestroyMenu(menu);
    QVERIFY(initialize({m_dir.path() + "/notes.txt"}));
    menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), S_OK);
    QCOMPARE(GetMenuItemCount(menu), 0);
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::longPathIsReadWhole()
{
    // Cut to 259 characters, this path would end in ".pd" and lose the entry; read whole it keeps it.
    const QString path = m_dir.path() + "/" + QString(300 - m_dir.path().size() - 5, 'x') + ".pdf";
    QCOMPARE(path.size(), 300);
    QVERIFY(initialize({path}));
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), HRESULT(1));
    DestroyMenu(menu);
    const QString cutToPdf =
        m_dir.path() + "/" + QString(259 - m_dir.path().size() - 5, 'y') + ".pdf" + "-long.txt";
    QVERIFY(initialize({cutToPdf}));
    menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), S_OK);
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::failedInitializeKeepsTheState_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("no CF_HDROP data") << int(BrokenSelection::Fault::NoData);
    QTest::newRow("medium without memory") << int(BrokenSelection::Fault::NoMemory);
    QTest::newRow("empty drop list") << int(BrokenSelection::Fault::EmptyList);
}

void ContextMenuHandlerTest::failedInitializeKeepsTheState()
{
    QFETCH(int, fault);
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    Object<BrokenSelection> broken;
    broken->m_fault = BrokenSelection::Fault(fault);
    QCOMPARE(m_init->Initialize(nullptr, broken.get(), nullptr), E_INVALIDARG);
    if (broken->m_fault == BrokenSelection::Fault::NoMemory)
        QCOMPARE(broken->m_released, 1);
    QCOMPARE(m_init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), HRESULT(1));
    DestroyMenu(menu);
}

void ContextMenuHandlerTest::interfacesAndAggregation()
{
    void* object = nullptr;
    QCOMPARE(m_init->QueryInterface(IID_IDispatch, &object), S_OK);
    IDispatch* dispatch = static_cast<IDispatch*>(object);
    UINT count = 7;
    QCOMPARE(dispatch->GetTypeInfoCount(&count), S_OK);
    QCOMPARE(count, UINT(0));
    wchar_t name[] = L"Anything";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    QCOMPARE(dispatch->GetIDsOfNames(IID_IUnknown, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    QCOMPARE(id, DISPID_UNKNOWN);
    dispatch->Release();
    // One identity: IUnknown from any interface is the same pointer.
    void* first = nullptr;
    void* second = nullptr;
    QCOMPARE(m_init->QueryInterface(IID_IUnknown, &first), S_OK);
    QCOMPARE(m_menu->QueryInterface(IID_IUnknown, &second), S_OK);
    QCOMPARE(first, second);
    static_cast<IUnknown*>(first)->Release();
    static_cast<IUnknown*>(second)->Release();
    QCOMPARE(m_init->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);

    HMODULE module = LoadLibraryW(ShellExtEnv::libraryPath().toStdWString().c_str());
    using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    QVERIFY(getClassObject);
    QCOMPARE(getClassObject(IID_IUnknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    QCOMPARE(getClassObject(handlerClass(), IID_IClassFactory, &object), S_OK);
    IClassFactory* factory = static_cast<IClassFactory*>(object);
    Object<HDropDataObject> outer;
    QCOMPARE(factory->CreateInstance(outer.get(), IID_IContextMenu, &object), CLASS_E_NOAGGREGATION);
    QCOMPARE(factory->CreateInstance(outer.get(), IID_IUnknown, &object), S_OK);
    IUnknown* inner = static_cast<IUnknown*>(object);
    void* menu = nullptr;
    QCOMPARE(inner->QueryInterface(IID_IContextMenu, &menu), S_OK);
    // The aggregated object's interfaces answer for the outer object.
    void* outerData = nullptr;
    QCOMPARE(static_cast<IContextMenu*>(menu)->QueryInterface(IID_IDataObject, &outerData), S_OK);
    static_cast<IUnknown*>(outerData)->Release();
    static_cast<IContextMenu*>(menu)->Release();
    inner->Release();
    factory->Release();
    FreeLibrary(module);
}

void ContextMenuHandlerTest::menuPicture()
{
    QVERIFY(initialize({m_dir.path() + "/Clip.mp4"}));
    HMENU menu = CreatePopupMenu();
    QCOMPARE(query(menu, 1), HRESULT(1));
    HBITMAP picture = nullptr;
    entryText(menu, 0, nullptr, &picture);
    BITMAP description = {};
    QCOMPARE(GetObjectW(picture, sizeof(description), &description), int(sizeof(BITMAP)));
    QCOMPARE(description.bmWidth, LONG(16));
    QCOMPARE(description.bmHeight, LONG(16));
    QCOMPARE(description.bmBitsPixel, WORD(32));
    unsigned char pixels[16 * 16 * 4] = {};
    QCOMPARE(GetBitmapBits(picture, sizeof(pixels), pixels), LONG(sizeof(pixels)));
    // Opaque inside, a transparent corner.
    QCOMPARE(int(pixels[(8 * 16 + 2) * 4 + 3]), 255);
    QCOMPARE(int(pixels[3]), 0);
    DestroyMenu(menu);
}

QTEST_GUILESS_MAIN(ContextMenuHandlerTest)
#include "tst_contextmenuhandler.moc"
