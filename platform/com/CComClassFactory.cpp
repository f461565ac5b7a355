#include "CComClassFactory.h"

#include <cstring>

#include "CAtlModule.h"

void CComClassFactory::SetVoid(void* creator)
{
    std::memcpy(&m_creator, &creator, sizeof(m_creator));
}

HRESULT CComClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    if (!m_creator)
        return E_UNEXPECTED;
    if (pUnkOuter && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    return m_creator(pUnkOuter, riid, ppvObject);
}

HRESULT CComClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        _pAtlModule->Lock();
    else
        _pAtlModule->Unlock();
    return S_OK;
}
