#pragma once

#include "CAtlModule.h"
#include "CComContainedObject.h"

// An object of class Base created inside an outer object: this is its own (inner) IUnknown, which
// the outer object holds; the interfaces it hands out belong to the contained object.
template <class Base> class CComAggObject final : public IUnknown
{
public:
    explicit CComAggObject(void* outer)
        : m_contained(outer)
    {
        _pAtlModule->Lock();
    }
    ~CComAggObject()
    {
        m_contained.FinalRelease();
        _pAtlModule->Unlock();
    }

    HRESULT FinalConstruct() { return m_contained.FinalConstruct(); }

    STDMETHOD_(ULONG, AddRef)() override { return ULONG(++m_refCount); }
    STDMETHOD_(ULONG, Release)() override
    {
        const ULONG count = ULONG(--m_refCount);
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_contained._InternalQueryInterface(iid, object);
    }

private:
    LONG m_refCount = 0;
    CComContainedObject<Base> m_contained;
};
