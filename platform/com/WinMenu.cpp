#include "WinMenu.h"

#include <algorithm>
#include <cwchar>
#include <vector>

struct HMENU__ {
    std::uint32_t tag;
    struct Item {
        UINT type = MFT_STRING;
        UINT state = 0;
        UINT id = 0;
        HMENU subMenu = nullptr;
        HBITMAP checked = nullptr;
        HBITMAP unchecked = nullptr;
        ULONG_PTR data = 0;
        HBITMAP bitmap = nullptr;
        std::wstring text;
    };
    std::vector<Item> items;
};

namespace
{

constexpr std::uint32_t kMenuTag = 0x554E454D; // "MENU"

HMENU__* menuOf(HMENU menu)
{
    return menu && menu->tag == kMenuTag ? menu : nullptr;
}

// Position of an entry by position or by identifier; items.size() when there is none.
std::size_t positionOf(const HMENU__& menu, UINT item, BOOL byPosition)
{
    if (byPosition)
        return std::min<std::size_t>(item, menu.items.size());
    for (std::size_t i = 0; i < menu.items.size(); ++i) {
        if (menu.items[i].id == item)
            return i;
    }
    return menu.items.size();
}

void applyFields(HMENU__::Item& item, const MENUITEMINFOW& info)
{
    if (info.fMask & MIIM_FTYPE)
        item.type = info.fType;
    if (info.fMask & MIIM_STATE)
        item.state = info.fState;
    if (info.fMask & MIIM_ID)
        item.id = info.wID;
    if (info.fMask & MIIM_SUBMENU)
        item.subMenu = info.hSubMenu;
    if (info.fMask & MIIM_CHECKMARKS) {
        item.checked = info.hbmpChecked;
        item.unchecked = info.hbmpUnchecked;
    }
    if (info.fMask & MIIM_DATA)
        item.data = info.dwItemData;
    if (info.fMask & MIIM_BITMAP)
        item.bitmap = info.hbmpItem;
    if ((info.fMask & MIIM_STRING) && info.dwTypeData)
        item.text = info.dwTypeData;
}

} // namespace

HMENU CreatePopupMenu()
{
    HMENU menu = new HMENU__;
    menu->tag = kMenuTag;
    return menu;
}

BOOL DestroyMenu(HMENU menu)
{
    HMENU__* found = menuOf(menu);
    if (!found)
        return FALSE;
    for (HMENU__::Item& item : found->items)
        DestroyMenu(item.subMenu);
    found->tag = 0;
    delete found;
    return TRUE;
}

int GetMenuItemCount(HMENU menu)
{
    const HMENU__* found = menuOf(menu);
    return found ? int(found->items.size()) : -1;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info)
{
    HMENU__* found = menuOf(menu);
    if (!found || !info || info->cbSize != sizeof(MENUITEMINFOW))
        return FALSE;
    HMENU__::Item entry;
    applyFields(entry, *info);
    const std::size_t position = positionOf(*found, item, byPosition);
    found->items.insert(found->items.begin() + std::ptrdiff_t(position), entry);
    return TRUE;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info)
{
    const HMENU__* found = menuOf(menu);
    if (!found || !info || info->cbSize != sizeof(MENUITEMINFOW))
        return FALSE;
    const std::size_t position = positionOf(*found, item, byPosition);
    if (position >= found->items.size())
        return FALSE;
    const HMENU__::Item& entry = found->items[position];
    if (info->fMask & MIIM_FTYPE)
        info->fType = entry.type;
    if (info->fMask & MIIM_STATE)
        info->fState = entry.state;
    if (info->fMask & MIIM_ID)
        info->wID = entry.id;
    if (info->fMask & MIIM_SUBMENU)
        info->hSubMenu = entry.subMenu;
    if (info->fMask & MIIM_CHECKMARKS) {
        info->hbmpChecked = entry.checked;
        info->hbmpUnchecked = entry.unchecked;
    }
    if (info->fMask & MIIM_DATA)
        info->dwItemData = entry.data;
    if (info->fMask & MIIM_BITMAP)
        info->hbmpItem = entry.bitmap;
    if (info->fMask & MIIM_STRING) {
        if (info->dwTypeData && info->cch > 0) {
            const std::size_t copied = std::min<std::size_t>(entry.text.size(), info->cch - 1);
            std::wmemcpy(info->dwTypeData, entry.text.data(), copied);
            info->dwTypeData[copied] = L'\0';
        }
        info->cch = UINT(entry.text.size());
    }
    return TRUE;
}
