#pragma once

#include "AtlComMap.h"
#include "CComObjectRootEx.h"
#include "CComSingleThreadModel.h"
#include "IClassFactory.h"

// The standard class factory: creates objects through the class's creator function. An outer
// object may only ask for IUnknown.
class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComSingleThreadModel>
{
public:
    using CreatorFunction = HRESULT (*)(void* outer, REFIID iid, void** object);

    BEGIN_COM_MAP(CComClassFactory)
    COM_INTERFACE_ENTRY(IClassFactory)
    END_COM_MAP()

    void SetVoid(void* creator);

    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
    STDMETHOD(LockServer)(BOOL fLock) override;

private:
    CreatorFunction m_creator = nullptr;
};
