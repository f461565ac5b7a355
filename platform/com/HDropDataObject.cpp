#include "HDropDataObject.h"

#include <cstring>

#include "GlobalMemory.h"
#include "ShellApi.h"

HGLOBAL HDropDataObject::makeDropList(const std::vector<std::wstring>& paths)
{
    std::size_t characters = 1;
    for (const std::wstring& path : paths)
        characters += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    unsigned char* bytes = static_cast<unsigned char*>(GlobalLock(memory));
    if (!bytes)
        return nullptr;
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(bytes, &header, sizeof(header));
    std::size_t position = sizeof(DROPFILES);
    for (const std::wstring& path : paths) {
        std::memcpy(bytes + position, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        position += (path.size() + 1) * sizeof(wchar_t);
    }
    GlobalUnlock(memory);
    return memory;
}

HRESULT HDropDataObject::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium)
{
    if (!pformatetcIn || !pmedium)
        return E_INVALIDARG;
    const HRESULT offered = QueryGetData(pformatetcIn);
    if (FAILED(offered))
        return offered;
    HGLOBAL memory = makeDropList(m_paths);
    if (!memory)
        return E_OUTOFMEMORY;
    pmedium->tymed = TYMED_HGLOBAL;
    pmedium->hGlobal = memory;
    pmedium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT HDropDataObject::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return DV_E_TYMED;
}

HRESULT HDropDataObject::QueryGetData(FORMATETC* pformatetc)
{
    if (!pformatetc)
        return E_INVALIDARG;
    if (pformatetc->cfFormat != CF_HDROP || pformatetc->dwAspect != DVASPECT_CONTENT)
        return DV_E_FORMATETC;
    if (!(pformatetc->tymed & TYMED_HGLOBAL))
        return DV_E_TYMED;
    return S_OK;
}

HRESULT HDropDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* pformatetcOut)
{
    if (pformatetcOut)
        pformatetcOut->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT HDropDataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL)
{
    return E_NOTIMPL;
}

HRESULT HDropDataObject::EnumFormatEtc(DWORD, IEnumFORMATETC** ppenumFormatEtc)
{
    if (ppenumFormatEtc)
        *ppenumFormatEtc = nullptr;
    return E_NOTIMPL;
}

HRESULT HDropDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT HDropDataObject::DUnadvise(DWORD)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT HDropDataObject::EnumDAdvise(IEnumSTATDATA** ppenumAdvise)
{
    if (ppenumAdvise)
        *ppenumAdvise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}
