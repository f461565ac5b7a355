#pragma once

#include <string>
#include <vector>

#include "AtlComMap.h"
#include "CComObjectRootEx.h"
#include "CComSingleThreadModel.h"
#include "IDataObject.h"

// A selection of paths as the Shell hands it to a context-menu handler: data in the CF_HDROP
// format, on global memory that each GetData call gives the caller to release.
class HDropDataObject : public IDataObject, public CComObjectRootEx<CComSingleThreadModel>
{
public:
    BEGIN_COM_MAP(HDropDataObject)
    COM_INTERFACE_ENTRY(IDataObject)
    END_COM_MAP()

    void setPaths(const std::vector<std::wstring>& paths) { m_paths = paths; }
    // A DROPFILES block with the wide paths; null when memory runs out.
    static HGLOBAL makeDropList(const std::vector<std::wstring>& paths);

    STDMETHOD(GetData)(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
    STDMETHOD(GetDataHere)(FORMATETC* pformatetc, STGMEDIUM* pmedium) override;
    STDMETHOD(QueryGetData)(FORMATETC* pformatetc) override;
    STDMETHOD(GetCanonicalFormatEtc)(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) override;
    STDMETHOD(SetData)(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) override;
    STDMETHOD(EnumFormatEtc)(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) override;
    STDMETHOD(DAdvise)
    (FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    STDMETHOD(DUnadvise)(DWORD dwConnection) override;
    STDMETHOD(EnumDAdvise)(IEnumSTATDATA** ppenumAdvise) override;

private:
    std::vector<std::wstring> m_paths;
};
