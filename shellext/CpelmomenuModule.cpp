#include "CpelmomenuModule.h"

#include "CAtlModule.h"
#include "SystemConstants.h"
#include "WinModule.h"
#include "WinString.h"

namespace
{

CpelmomenuModule g_module;
HINSTANCE g_instance = nullptr;
std::wstring g_moduleFolder;

// Windows calls DllMain when it maps the library and when it unmaps it; here the library's own
// load and unload hooks do, with the library's handle found from one of its own addresses.
class LoaderNotification
{
public:
    LoaderNotification() { DllMain(ownInstance(), DLL_PROCESS_ATTACH, nullptr); }
    ~LoaderNotification() { DllMain(ownInstance(), DLL_PROCESS_DETACH, nullptr); }

private:
    static HINSTANCE ownInstance() { return moduleOfAddress(reinterpret_cast<const void*>(&g_instance)); }
};
LoaderNotification g_loaderNotification;

} // namespace

void rememberModule(HINSTANCE instance)
{
    g_instance = instance;
    g_module.setInstance(instance);
    // The whole file name, however long: a cut name would make the launch run in another folder.
    const std::wstring fileName = AtlModuleFileName(instance);
    const std::size_t separator = fileName.rfind(SystemConstants::separator());
    g_moduleFolder = separator == std::wstring::npos ? std::wstring() : fileName.substr(0, separator + 1);
}

HINSTANCE moduleInstance()
{
    return g_instance;
}

const std::wstring& moduleFolder()
{
    return g_moduleFolder;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved)
{
    rememberModule(hInstance);
    return g_module.DllMain(reason, reserved);
}

STDAPI DllCanUnloadNow()
{
    return g_module.DllCanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return g_module.DllGetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer()
{
    return g_module.DllRegisterServer();
}

STDAPI DllUnregisterServer()
{
    return g_module.DllUnregisterServer();
}

STDAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine)
{
    // "user" with its terminating zero: a longer command line stays per machine. The choice holds
    // for this call only, so that a later call in the same process is not registered per user.
    bool previous = false;
    AtlGetPerUserRegistration(&previous);
    if (pszCmdLine && _wcsnicmp(pszCmdLine, L"user", 5) == 0)
        AtlSetPerUserRegistration(true);
    HRESULT result = S_OK;
    if (bInstall) {
        result = DllRegisterServer();
        if (FAILED(result))
            DllUnregisterServer();
    } else {
        result = DllUnregisterServer();
    }
    AtlSetPerUserRegistration(previous);
    return result;
}
