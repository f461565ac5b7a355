#pragma once

#include "CAtlModule.h"
#include "IDispatch.h"
#include "TypeLibrary.h"

// The dispatch part of a dual interface whose description lies in the module's type library.
// Names are looked up in that description; an interface without methods of its own knows none,
// and no type information object is handed out (the type library itself is registered).
template <class T, const IID* piid, const GUID* plibid, WORD major = 1, WORD minor = 0>
class IDispatchImpl : public T
{
public:
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override
    {
        if (!rgszNames || !rgDispId)
            return E_POINTER;
        TypeLibrary library;
        if (!library.load(_pAtlModule->instance(), 1) || library.libraryId() != *plibid ||
            library.majorVersion() != major || library.minorVersion() != minor ||
            !library.findInterface(*piid))
            return TYPE_E_ELEMENTNOTFOUND;
        for (UINT i = 0; i < cNames; ++i)
            rgDispId[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }
};
