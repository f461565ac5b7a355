#pragma once

#include "IUnknown.h"

// The interface map of an object class: QueryInterface answers for the listed interfaces, and for
// IUnknown with the first one (every interface pointer of an object leads to one identity).
//
//   BEGIN_COM_MAP(CMyClass)
//       COM_INTERFACE_ENTRY(IMyInterface)
//   END_COM_MAP()
#define BEGIN_COM_MAP(ClassName)                                                                             \
public:                                                                                                      \
    HRESULT _InternalQueryInterface(REFIID iid, void** object)                                               \
    {                                                                                                        \
        if (!object)                                                                                         \
            return E_POINTER;                                                                                \
        *object = nullptr;                                                                                   \
        bool first = true;

#define COM_INTERFACE_ENTRY2(Interface, Branch)                                                              \
    if (iid == InterfaceId<Interface>::value() || (first && iid == IID_IUnknown)) {                          \
        IUnknown* found = static_cast<Interface*>(static_cast<Branch*>(this));                               \
        found->AddRef();                                                                                     \
        *object = found;                                                                                     \
        return S_OK;                                                                                         \
    }                                                                                                        \
    first = false;

#define COM_INTERFACE_ENTRY(Interface) COM_INTERFACE_ENTRY2(Interface, Interface)

#define END_COM_MAP()                                                                                        \
    (void)first;                                                                                             \
    return E_NOINTERFACE;                                                                                    \
    }                                                                                                        \
    IUnknown* _GetRawUnknown()                                                                               \
    {                                                                                                        \
        void* unknown = nullptr;                                                                             \
        if (FAILED(_InternalQueryInterface(IID_IUnknown, &unknown)))                                         \
            return nullptr;                                                                                  \
        IUnknown* raw = static_cast<IUnknown*>(unknown);                                                     \
        raw->Release();                                                                                      \
        return raw;                                                                                          \
    }
