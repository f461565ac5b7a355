#pragma once

#include "IDispatch.h"

// The identities of the extension: its class, its interface and its type library.
extern const CLSID CLSID_PelmoMenuExt;
extern const IID IID_IPelmoMenuExt;
extern const GUID LIBID_pelmomenuLib;

// The extension's own dual interface; it has no methods of its own.
class IPelmoMenuExt : public IDispatch
{
protected:
    ~IPelmoMenuExt() = default;
};
VX_INTERFACE_ID(IPelmoMenuExt, IID_IPelmoMenuExt)
