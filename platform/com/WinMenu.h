#pragma once

#include <string>

#include "ComTypes.h"

constexpr UINT MIIM_STATE = 0x001;
constexpr UINT MIIM_ID = 0x002;
constexpr UINT MIIM_SUBMENU = 0x004;
constexpr UINT MIIM_CHECKMARKS = 0x008;
constexpr UINT MIIM_TYPE = 0x010;
constexpr UINT MIIM_DATA = 0x020;
constexpr UINT MIIM_STRING = 0x040;
constexpr UINT MIIM_BITMAP = 0x080;
constexpr UINT MIIM_FTYPE = 0x100;

constexpr UINT MFT_STRING = 0x0000;
constexpr UINT MFT_SEPARATOR = 0x0800;
constexpr UINT MF_BYPOSITION = 0x0400;

// The layout of the Windows structure, 80 bytes in a 64-bit build.
struct MENUITEMINFOW {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPWSTR dwTypeData;
    UINT cch;
    HBITMAP hbmpItem;
};

// Menus of the Shell's context menu. A handle is the address of the menu; it passes between the
// host and the loaded library as it is.
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
// Number of entries, -1 for an invalid handle.
int GetMenuItemCount(HMENU menu);
// Inserts before the entry at `item` (by position, or before the entry with that identifier);
// a position past the end appends. The text is copied. FALSE for an invalid handle or structure.
BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
// Reads the fields that fMask names; for MIIM_STRING the text is copied into dwTypeData (cch
// characters of room) and cch set to its length, or only cch set when dwTypeData is null.
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
