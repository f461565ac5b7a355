#pragma once

#include "CAtlModule.h"

// An object the module keeps for its whole life (a class factory): the module is locked only while
// someone outside holds a reference to it.
template <class Base> class CComObjectCached final : public Base
{
public:
    explicit CComObjectCached(void* = nullptr) {}
    ~CComObjectCached() { this->FinalRelease(); }

    STDMETHOD_(ULONG, AddRef)() override
    {
        const ULONG count = this->InternalAddRef();
        if (count == 2 && _pAtlModule)
            _pAtlModule->Lock();
        return count;
    }
    STDMETHOD_(ULONG, Release)() override
    {
        const ULONG count = this->InternalRelease();
        if (count == 0)
            delete this;
        else if (count == 1 && _pAtlModule)
            _pAtlModule->Unlock();
        return count;
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        return this->_InternalQueryInterface(iid, object);
    }
};
