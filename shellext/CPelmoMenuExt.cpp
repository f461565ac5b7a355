#include "CPelmoMenuExt.h"

#include "CpelmomenuModule.h"
#include "GlobalMemory.h"
#include "ShellApi.h"
#include "SystemConstants.h"
#include "WideStringHelpers.h"
#include "WinGdi.h"
#include "WinMenu.h"
#include "WinString.h"

OBJECT_ENTRY_AUTO(CLSID_PelmoMenuExt, CPelmoMenuExt)

const wchar_t* const CPelmoMenuExt::kEntryText = L"用Vornex打开";
const wchar_t* const CPelmoMenuExt::kHelpText = L"This is the simple shell extension's help";

const std::vector<std::wstring>& CPelmoMenuExt::supportedSuffixes()
{
    static const std::vector<std::wstring> s_suffixes = {L".pdf", L".mp4", L".mkv", L".avi", L".wmv", L".flv",
                                                         L".mov", L".png", L".jpg", L".gif", L".bmp"};
    return s_suffixes;
}

bool CPelmoMenuExt::isSupportedFile(const std::wstring& path)
{
    for (const std::wstring& suffix : supportedSuffixes()) {
        if (endsWithNoCase(path, suffix))
            return true;
    }
    return false;
}

bool CPelmoMenuExt::isPassable(const std::wstring& path)
{
    // The launch hands the path over in one pair of double quotes; a path holding a double quote
    // (which a Windows name never does) would reach the program as another path.
    return path.find(L'"') == std::wstring::npos;
}

HRESULT CPelmoMenuExt::FinalConstruct()
{
    m_menuBitmap = LoadBitmapW(moduleInstance(), MAKEINTRESOURCEW(IDB_MENU_BITMAP));
    return S_OK;
}

void CPelmoMenuExt::FinalRelease()
{
    if (m_menuBitmap) {
        DeleteObject(m_menuBitmap);
        m_menuBitmap = nullptr;
    }
}

std::vector<std::wstring> CPelmoMenuExt::readPaths(HDROP hdrop, UINT count)
{
    std::vector<std::wstring> paths;
    for (UINT index = 0; index < count; ++index) {
        // The length first, so that no path is cut to a fixed buffer.
        const UINT length = DragQueryFileW(hdrop, index, nullptr, 0);
        if (length == 0)
            continue;
        std::vector<wchar_t> buffer(std::size_t(length) + 1, L'\0');
        const UINT copied = DragQueryFileW(hdrop, index, buffer.data(), length + 1);
        if (copied != 0)
            paths.emplace_back(buffer.data(), copied);
    }
    return paths;
}

HRESULT CPelmoMenuExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY)
{
    if (!pdtobj)
        return E_INVALIDARG;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {TYMED_HGLOBAL, nullptr, nullptr};
    if (FAILED(pdtobj->GetData(&format, &medium)))
        return E_INVALIDARG;
    HDROP hdrop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
    if (!hdrop) {
        ReleaseStgMedium(&medium);
        return E_INVALIDARG;
    }
    const UINT count = DragQueryFileW(hdrop, 0xFFFFFFFFu, nullptr, 0);
    if (count == 0) {
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        return E_INVALIDARG;
    }
    // A repeated Initialize describes a new selection: the list is replaced, not extended.
    m_paths = readPaths(hdrop, count);
    m_enabled = m_paths.size() == 1 && isSupportedFile(m_paths.front()) && isPassable(m_paths.front());
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return S_OK;
}

UINT CPelmoMenuExt::insertMenuEntry(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT, const wchar_t* text)
{
    const UINT count = UINT(GetMenuItemCount(hmenu));
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(MENUITEMINFOW);
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | MIIM_STRING;
    info.fState = 0;
    info.wID = idCmdFirst + count;
    info.hbmpUnchecked = m_menuBitmap;
    info.dwTypeData = const_cast<LPWSTR>(text);
    info.cch = UINT(lstrlenW(text));
    InsertMenuItemW(hmenu, indexMenu, TRUE, &info);
    return count;
}

HRESULT CPelmoMenuExt::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                        UINT uFlags)
{
    if (uFlags & CMF_DEFAULTONLY)
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    if (!m_enabled)
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    m_entryOffset = insertMenuEntry(hmenu, indexMenu, idCmdFirst, idCmdLast, kEntryText);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, int(USHORT(m_entryOffset + 1)));
}

HRESULT CPelmoMenuExt::InvokeCommand(LPCMINVOKECOMMANDINFO pici)
{
    if (!pici)
        return E_INVALIDARG;
    const UINT_PTR verb = reinterpret_cast<UINT_PTR>(pici->lpVerb);
    // A verb given as text: every bit above the low 16 tells it from a command offset.
    if (!IS_INTRESOURCE(verb))
        return E_INVALIDARG;
    if (!isOwnCommand(LOWORD(verb)))
        return E_INVALIDARG;
    if (m_enabled)
        launchMainProgram();
    return S_OK;
}

void CPelmoMenuExt::launchMainProgram()
{
    if (m_paths.empty())
        return;
    const std::wstring parameters = L"\"" + m_paths.front() + L"\"";
    const std::wstring folder = moduleFolder();
    ShellExecuteW(nullptr, L"open", SystemConstants::mainProgram(), parameters.c_str(), folder.c_str(),
                  SW_SHOW);
}

HRESULT CPelmoMenuExt::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax)
{
    if (!isOwnCommand(idCmd))
        return E_INVALIDARG;
    if (uType == GCS_HELPTEXTW) {
        lstrcpynW(reinterpret_cast<LPWSTR>(pszName), kHelpText, int(cchMax));
        return S_OK;
    }
    if (uType == GCS_HELPTEXTA) {
        const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, kHelpText, -1, nullptr, 0, nullptr, nullptr);
        std::string converted(std::size_t(size > 0 ? size : 1), '\0');
        WideCharToMultiByte(CP_THREAD_ACP, 0, kHelpText, -1, &converted[0], size, nullptr, nullptr);
        lstrcpynA(pszName, converted.c_str(), int(cchMax));
        return S_OK;
    }
    return E_INVALIDARG;
}
