#pragma once

#include "IUnknown.h"

// The base of every object class: its reference count (or, when aggregated, the outer object it
// hands its reference counting to) and the hooks that the creators call.
template <class ThreadModel> class CComObjectRootEx
{
public:
    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}

    ULONG InternalAddRef() { return ThreadModel::Increment(&m_dwRef); }
    ULONG InternalRelease() { return ThreadModel::Decrement(&m_dwRef); }

    ULONG OuterAddRef() { return m_pOuterUnknown->AddRef(); }
    ULONG OuterRelease() { return m_pOuterUnknown->Release(); }
    HRESULT OuterQueryInterface(REFIID iid, void** object)
    {
        return m_pOuterUnknown->QueryInterface(iid, object);
    }

    void SetOuter(IUnknown* outer) { m_pOuterUnknown = outer; }

protected:
    LONG m_dwRef = 0;
    IUnknown* m_pOuterUnknown = nullptr;
};
