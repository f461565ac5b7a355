#pragma once

#include "IUnknown.h"

// QueryContextMenu flags.
constexpr UINT CMF_NORMAL = 0x0;
constexpr UINT CMF_DEFAULTONLY = 0x1;

// GetCommandString request types.
constexpr UINT GCS_VERBA = 0x0;
constexpr UINT GCS_HELPTEXTA = 0x1;
constexpr UINT GCS_VALIDATEA = 0x2;
constexpr UINT GCS_VERBW = 0x4;
constexpr UINT GCS_HELPTEXTW = 0x5;
constexpr UINT GCS_VALIDATEW = 0x6;

struct CMINVOKECOMMANDINFO {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb; // a command offset (MAKEINTRESOURCEA) or a verb text
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    DWORD dwHotKey;
    HANDLE hIcon;
};
using LPCMINVOKECOMMANDINFO = CMINVOKECOMMANDINFO*;

// Entries that a handler adds to a context menu, and running the chosen one.
class IContextMenu : public IUnknown
{
public:
    STDMETHOD(QueryContextMenu)
    (HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) = 0;
    STDMETHOD(InvokeCommand)(LPCMINVOKECOMMANDINFO pici) = 0;
    STDMETHOD(GetCommandString)(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName, UINT cchMax) = 0;

protected:
    ~IContextMenu() = default;
};

extern const IID IID_IContextMenu;
VX_INTERFACE_ID(IContextMenu, IID_IContextMenu)
