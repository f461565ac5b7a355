#pragma once

#include "IUnknown.h"

// Chooses the creator by whether an outer object is given: Plain without, Aggregated with.
template <class Plain, class Aggregated> class CComCreator2
{
public:
    static HRESULT CreateInstance(void* outer, REFIID iid, void** object)
    {
        return outer ? Aggregated::CreateInstance(outer, iid, object)
                     : Plain::CreateInstance(nullptr, iid, object);
    }
};
