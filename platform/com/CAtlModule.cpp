#include "CAtlModule.h"

#include <vector>

#include "CRegObject.h"
#include "SystemConstants.h"
#include "TypeLibrary.h"
#include "WinModule.h"

CAtlModule* _pAtlModule = nullptr;

namespace
{
bool g_perUser = false;
}

HRESULT AtlSetPerUserRegistration(bool perUser)
{
    g_perUser = perUser;
    return S_OK;
}

HRESULT AtlGetPerUserRegistration(bool* perUser)
{
    if (!perUser)
        return E_POINTER;
    *perUser = g_perUser;
    return S_OK;
}

std::wstring AtlModuleFileName(HMODULE module)
{
    std::vector<wchar_t> buffer(SystemConstants::kWindowsMaxPath);
    while (true) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

CAtlModule::CAtlModule()
{
    _pAtlModule = this;
}

CAtlModule::~CAtlModule()
{
    if (_pAtlModule == this)
        _pAtlModule = nullptr;
}

LONG CAtlModule::Lock()
{
    return ++m_lockCount;
}

LONG CAtlModule::Unlock()
{
    return --m_lockCount;
}

LONG CAtlModule::GetLockCount() const
{
    return m_lockCount;
}

HRESULT CAtlModule::UpdateRegistryFromResource(UINT resourceId, BOOL doRegister,
                                               const wchar_t* const* replacements)
{
    CRegObject registrar;
    bool perUser = false;
    AtlGetPerUserRegistration(&perUser);
    registrar.setPerUser(perUser);
    const std::wstring modulePath = AtlModuleFileName(m_instance);
    if (modulePath.empty())
        return E_FAIL;
    registrar.AddReplacement(L"MODULE", modulePath.c_str());
    for (const wchar_t* const* pair = replacements; pair && pair[0]; pair += 2)
        registrar.AddReplacement(pair[0], pair[1]);
    return doRegister ? registrar.ResourceRegister(m_instance, resourceId, L"REGISTRY")
                      : registrar.ResourceUnregister(m_instance, resourceId, L"REGISTRY");
}

HRESULT CAtlModule::UpdateTypeLibrary(BOOL doRegister)
{
    TypeLibrary library;
    if (!library.load(m_instance, 1))
        return TYPE_E_INVDATAREAD;
    bool perUser = false;
    AtlGetPerUserRegistration(&perUser);
    if (!doRegister)
        return library.unregisterLibrary(perUser);
    const std::wstring modulePath = AtlModuleFileName(m_instance);
    const std::size_t separator = modulePath.rfind(SystemConstants::separator());
    const std::wstring folder =
        separator == std::wstring::npos ? std::wstring() : modulePath.substr(0, separator);
    return library.registerLibrary(modulePath, folder, perUser);
}
