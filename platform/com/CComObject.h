#pragma once

#include "CAtlModule.h"

// A created object of class Base, not aggregated: counts its references and keeps the module
// locked while it lives.
template <class Base> class CComObject final : public Base
{
public:
    explicit CComObject(void* = nullptr)
    {
        if (_pAtlModule)
            _pAtlModule->Lock();
    }
    ~CComObject()
    {
        this->FinalRelease();
        if (_pAtlModule)
            _pAtlModule->Unlock();
    }

    STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override
    {
        const ULONG count = this->InternalRelease();
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        return this->_InternalQueryInterface(iid, object);
    }
};
