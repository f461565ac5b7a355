#pragma once

#include "Guid.h"

// The root of every COM interface: reference counting and interface lookup.
class IUnknown
{
public:
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) = 0;
    STDMETHOD_(ULONG, AddRef)() = 0;
    STDMETHOD_(ULONG, Release)() = 0;

protected:
    ~IUnknown() = default;
};

// The interface id of an interface type, as __uuidof gives it on Windows.
template <typename Interface> struct InterfaceId;

#define VX_INTERFACE_ID(Interface, iid)                                                                      \
    template <> struct InterfaceId<Interface> {                                                              \
        static const IID& value() { return iid; }                                                            \
    };

extern const IID IID_IUnknown;
VX_INTERFACE_ID(IUnknown, IID_IUnknown)
