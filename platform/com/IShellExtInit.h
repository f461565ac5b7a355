#pragma once

#include "IDataObject.h"

struct ITEMIDLIST;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;

// How the Shell hands a context-menu handler the selection it was created for.
class IShellExtInit : public IUnknown
{
public:
    STDMETHOD(Initialize)(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) = 0;

protected:
    ~IShellExtInit() = default;
};

extern const IID IID_IShellExtInit;
VX_INTERFACE_ID(IShellExtInit, IID_IShellExtInit)
