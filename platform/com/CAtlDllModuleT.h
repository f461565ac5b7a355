#pragma once

#include "AtlObjectMap.h"
#include "CAtlModule.h"

// The module of an in-process server (a library): what its five exports do. T may declare
// UpdateRegistryAppId for the module's own registry step.
template <class T> class CAtlDllModuleT : public CAtlModule
{
public:
    BOOL DllMain(DWORD reason, LPVOID)
    {
        if (reason == DLL_PROCESS_DETACH)
            AtlObjectMap::releaseFactories();
        return TRUE;
    }

    HRESULT DllCanUnloadNow() { return GetLockCount() == 0 ? S_OK : S_FALSE; }

    HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
    {
        return AtlObjectMap::getClassObject(clsid, iid, object);
    }

    HRESULT DllRegisterServer(BOOL withTypeLibrary = TRUE)
    {
        HRESULT result = T::UpdateRegistryAppId(TRUE);
        for (const AtlObjectMap::Entry& entry : AtlObjectMap::entries()) {
            if (FAILED(result))
                return result;
            result = entry.updateRegistry(TRUE);
        }
        if (SUCCEEDED(result) && withTypeLibrary)
            result = UpdateTypeLibrary(TRUE);
        return result;
    }

    HRESULT DllUnregisterServer(BOOL withTypeLibrary = TRUE)
    {
        HRESULT result = T::UpdateRegistryAppId(FALSE);
        for (const AtlObjectMap::Entry& entry : AtlObjectMap::entries()) {
            if (FAILED(result))
                return result;
            result = entry.updateRegistry(FALSE);
        }
        if (SUCCEEDED(result) && withTypeLibrary)
            result = UpdateTypeLibrary(FALSE);
        return result;
    }

    static HRESULT UpdateRegistryAppId(BOOL) { return S_OK; }
};

#define DECLARE_LIBID(libid)                                                                                 \
    const GUID& libraryId() const override                                                                   \
    {                                                                                                        \
        return libid;                                                                                        \
    }

// The module's own registry step: the script of that number with APPID replaced by the given text.
#define DECLARE_REGISTRY_APPID_RESOURCEID(id, appid)                                                         \
    static HRESULT UpdateRegistryAppId(BOOL doRegister)                                                      \
    {                                                                                                        \
        const wchar_t* const replacements[] = {L"APPID", L##appid, nullptr};                                 \
        return _pAtlModule->UpdateRegistryFromResource(id, doRegister, replacements);                        \
    }
