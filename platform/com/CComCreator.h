#pragma once

#include <new>

#include "IUnknown.h"

// Creates one object of type T (CComObject<...> or CComAggObject<...>): constructs it, runs its
// FinalConstruct, and hands out the asked interface; on any failure the object goes again.
template <class T> class CComCreator
{
public:
    static HRESULT CreateInstance(void* outer, REFIID iid, void** object)
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        T* created = new (std::nothrow) T(outer);
        if (!created)
            return E_OUTOFMEMORY;
        // Held during construction, so that an interface taken and released inside it cannot
        // destroy the object.
        created->AddRef();
        HRESULT result = created->FinalConstruct();
        if (SUCCEEDED(result))
            result = created->QueryInterface(iid, object);
        created->Release();
        return result;
    }
};
