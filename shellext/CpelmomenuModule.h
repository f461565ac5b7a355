#pragma once

#include <string>

#include "CAtlDllModuleT.h"
#include "PelmoMenuGuids.h"
#include "resource.h"

// The extension library's module: its type library and its own registry step (the same script as
// the class's, with APPID set to the type library's id).
class CpelmomenuModule : public CAtlDllModuleT<CpelmomenuModule>
{
public:
    DECLARE_LIBID(LIBID_pelmomenuLib)
    DECLARE_REGISTRY_APPID_RESOURCEID(IDR_PELMOMENU, "{d75aeb67-f11b-4a57-945f-11ba840d758f}")
};

// Stores the library's instance handle and recomputes its folder (DllMain calls it first).
void rememberModule(HINSTANCE instance);
HINSTANCE moduleInstance();
// The library's folder with its trailing separator; empty before the first DllMain call.
const std::wstring& moduleFolder();

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved);
STDAPI DllCanUnloadNow();
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
STDAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine);
