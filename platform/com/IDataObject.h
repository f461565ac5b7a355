#pragma once

#include "IUnknown.h"

// Clipboard format of a list of file paths (a DROPFILES block in global memory).
constexpr CLIPFORMAT CF_HDROP = 15;

constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;

struct DVTARGETDEVICE;
struct FORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};

struct STGMEDIUM {
    DWORD tymed;
    HGLOBAL hGlobal;
    IUnknown* pUnkForRelease;
};

class IEnumFORMATETC;
class IAdviseSink;
class IEnumSTATDATA;

// Data handed over in one or more formats; the Shell passes a selection through it.
class IDataObject : public IUnknown
{
public:
    STDMETHOD(GetData)(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) = 0;
    STDMETHOD(GetDataHere)(FORMATETC* pformatetc, STGMEDIUM* pmedium) = 0;
    STDMETHOD(QueryGetData)(FORMATETC* pformatetc) = 0;
    STDMETHOD(GetCanonicalFormatEtc)(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) = 0;
    STDMETHOD(SetData)(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) = 0;
    STDMETHOD(EnumFormatEtc)(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) = 0;
    STDMETHOD(DAdvise)(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) = 0;
    STDMETHOD(DUnadvise)(DWORD dwConnection) = 0;
    STDMETHOD(EnumDAdvise)(IEnumSTATDATA** ppenumAdvise) = 0;

protected:
    ~IDataObject() = default;
};

extern const IID IID_IDataObject;
VX_INTERFACE_ID(IDataObject, IID_IDataObject)

// Frees a medium: its global memory, or through pUnkForRelease when the provider keeps it.
void ReleaseStgMedium(STGMEDIUM* medium);
