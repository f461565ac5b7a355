#pragma once

#include "CComAggObject.h"
#include "CComCreator.h"
#include "CComCreator2.h"
#include "CComObject.h"

// What makes a class creatable by its class id: its creator (plain or aggregated, as an outer
// object is given or not) and its class id.
template <class T, const CLSID* pclsid> class CComCoClass
{
public:
    using _CreatorClass = CComCreator2<CComCreator<CComObject<T>>, CComCreator<CComAggObject<T>>>;
    static const CLSID& GetObjectCLSID() { return *pclsid; }
};

// The class's registry step: the module's registry script of that resource number.
#define DECLARE_REGISTRY_RESOURCEID(id)                                                                      \
    static HRESULT UpdateRegistry(BOOL doRegister)                                                           \
    {                                                                                                        \
        return _pAtlModule->UpdateRegistryFromResource(id, doRegister);                                      \
    }
