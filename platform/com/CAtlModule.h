#pragma once

#include <atomic>

#include "Guid.h"

class CRegObject;

// The module of a COM server: its lock count (objects alive and LockServer calls), its type
// library id, whether registration goes to the current user, and the registry-script step.
class CAtlModule
{
public:
    CAtlModule();
    virtual ~CAtlModule();

    LONG Lock();
    LONG Unlock();
    LONG GetLockCount() const;

    // The module's instance handle and full file name, as DllMain gave them.
    void setInstance(HINSTANCE instance) { m_instance = instance; }
    HINSTANCE instance() const { return m_instance; }

    // Runs the module's registry script resource (type "REGISTRY") with the replacement MODULE set
    // to the module's full path, and the extra replacements given (name, value pairs).
    HRESULT UpdateRegistryFromResource(UINT resourceId, BOOL doRegister,
                                       const wchar_t* const* replacements = nullptr);
    // Registers or unregisters the module's type library (TYPELIB resource 1).
    HRESULT UpdateTypeLibrary(BOOL doRegister);

    virtual const GUID& libraryId() const = 0;

private:
    std::atomic<LONG> m_lockCount{0};
    HINSTANCE m_instance = nullptr;
};

// The one module of this library (set by the module's constructor).
extern CAtlModule* _pAtlModule;

// Per-user registration: the keys of HKCR go to the current user's classes.
HRESULT AtlSetPerUserRegistration(bool perUser);
HRESULT AtlGetPerUserRegistration(bool* perUser);

// The module's full file name, read whole however long it is.
std::wstring AtlModuleFileName(HMODULE module);
