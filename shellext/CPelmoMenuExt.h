#pragma once

#include <string>
#include <vector>

#include "AtlComMap.h"
#include "AtlObjectMap.h"
#include "CComCoClass.h"
#include "CComObjectRootEx.h"
#include "CComSingleThreadModel.h"
#include "IContextMenu.h"
#include "IDispatchImpl.h"
#include "IShellExtInit.h"
#include "PelmoMenuGuids.h"
#include "resource.h"

// The context-menu handler: offers "用Vornex打开" for one selected item whose name ends with a
// supported suffix, and starts the main program from the library's folder with that path.
class CPelmoMenuExt : public CComObjectRootEx<CComSingleThreadModel>,
                      public CComCoClass<CPelmoMenuExt, &CLSID_PelmoMenuExt>,
                      public IDispatchImpl<IPelmoMenuExt, &IID_IPelmoMenuExt, &LIBID_pelmomenuLib, 1, 0>,
                      public IContextMenu,
                      public IShellExtInit
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_PELMOMENU)

    BEGIN_COM_MAP(CPelmoMenuExt)
    COM_INTERFACE_ENTRY(IPelmoMenuExt)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(IShellExtInit)
    COM_INTERFACE_ENTRY(IContextMenu)
    END_COM_MAP()

    HRESULT FinalConstruct();
    void FinalRelease();

    // IShellExtInit
    STDMETHOD(Initialize)(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

    // IContextMenu
    STDMETHOD(QueryContextMenu)
    (HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) override;
    STDMETHOD(InvokeCommand)(LPCMINVOKECOMMANDINFO pici) override;
    STDMETHOD(GetCommandString)
    (UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName, UINT cchMax) override;

    // Inserts an entry as QueryContextMenu does, with the given text and without touching the
    // handler's state; returns the menu's item count before it.
    UINT insertMenuEntry(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, const wchar_t* text);

    static bool isSupportedFile(const std::wstring& path);
    // Whether the path survives the launch's quoting unchanged.
    static bool isPassable(const std::wstring& path);
    static const std::vector<std::wstring>& supportedSuffixes();

    static const wchar_t* const kEntryText;
    static const wchar_t* const kHelpText;

private:
    // Every path of the drop list, each read whole.
    static std::vector<std::wstring> readPaths(HDROP hdrop, UINT count);
    void launchMainProgram();
    bool isOwnCommand(UINT_PTR offset) const { return offset == m_entryOffset; }

    HBITMAP m_menuBitmap = nullptr;
    std::vector<std::wstring> m_paths;
    bool m_enabled = false;
    UINT m_entryOffset = 0;
};
