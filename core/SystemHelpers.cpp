#include "SystemHelpers.h"

#include "Win32Api.h"

bool isInstanceRunning(const std::wstring& name)
{
    const Win32Api::HANDLE mutex = Win32Api::CreateMutexW(nullptr, Win32Api::kFalse, name.c_str());
    if (!mutex)
        return false;
    if (Win32Api::GetLastError() != Win32Api::kErrorAlreadyExists)
        return false; // this process now holds the mutex for the rest of its life
    Win32Api::CloseHandle(mutex);
    return true;
}

bool is64BitSystem()
{
    Win32Api::SystemInfo info;
    Win32Api::GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == Win32Api::kProcessorArchitectureAmd64 ||
           info.wProcessorArchitecture == Win32Api::kProcessorArchitectureIa64;
}
