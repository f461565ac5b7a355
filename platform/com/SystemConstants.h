#pragma once

#include <string>

// The Qt-free part of PlatformConstants: the values of the context-menu extension, its COM layer and
// the GBK text conversions, which are built without Qt. Each Windows value stands beside the value
// used here.
class SystemConstants
{
public:
    // Locale of the GBK text conversions (code page 936). Windows: the runtime library's name "chs".
    // Here: the generated locale "zh_CN.GBK" (scripts/setup.sh).
    static constexpr const char* kWindowsGbkLocale = "chs";
    static const char* gbkLocaleName();

    // The main program that the extension starts from its own folder. Windows: "Vornix.exe".
    // Here: "Vornix".
    static constexpr const wchar_t* kWindowsMainProgram = L"Vornix.exe";
    static const wchar_t* mainProgram();

    // Separator of the folders in a path. Windows: '\'. Here: '/'.
    static constexpr wchar_t kWindowsSeparator = L'\\';
    static wchar_t separator();

    // Path buffer of the Windows calls (MAX_PATH). Windows: 260 characters. Here the same size is
    // handed over, and the callers that must not cut a path ask for its length first.
    static constexpr unsigned kWindowsMaxPath = 260;

    // File name of the extension library. Windows: "VornixMenu64.dll". Here: "libVornixMenu64.so".
    static constexpr const char* kWindowsExtensionLibrary = "VornixMenu64.dll";
    static const char* extensionLibrary();

    // The registry. Windows: the hives HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER. Here: one folder
    // tree per hive, a folder per key. The machine's lies in "/var/lib/vornex/registry" (the
    // environment variable VX_MACHINE_STATE moves "/var/lib/vornex"); the user's in
    // "$XDG_STATE_HOME/vornex/registry" (default "~/.local/state/vornex/registry").
    static constexpr const char* kWindowsMachineHive = "HKEY_LOCAL_MACHINE";
    static constexpr const char* kWindowsUserHive = "HKEY_CURRENT_USER";
    static std::string machineStateFolder();
    static std::string userStateFolder();
    static std::string machineRegistryFolder();
    static std::string userRegistryFolder();
};
