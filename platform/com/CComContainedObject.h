#pragma once

#include "IUnknown.h"

// The part of an aggregated object that its outer object's clients see: every IUnknown call goes
// to the outer object.
template <class Base> class CComContainedObject final : public Base
{
public:
    explicit CComContainedObject(void* outer) { this->SetOuter(static_cast<IUnknown*>(outer)); }

    STDMETHOD_(ULONG, AddRef)() override { return this->OuterAddRef(); }
    STDMETHOD_(ULONG, Release)() override { return this->OuterRelease(); }
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        return this->OuterQueryInterface(iid, object);
    }
};
