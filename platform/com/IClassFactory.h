#pragma once

#include "IUnknown.h"

// Makes the objects of one class; what DllGetClassObject hands out.
class IClassFactory : public IUnknown
{
public:
    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    STDMETHOD(LockServer)(BOOL fLock) = 0;

protected:
    ~IClassFactory() = default;
};

extern const IID IID_IClassFactory;
VX_INTERFACE_ID(IClassFactory, IID_IClassFactory)
