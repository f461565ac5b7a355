#include "SystemConstants.h"

#include <cstdlib>

namespace
{

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

const char* SystemConstants::gbkLocaleName()
{
    return "zh_CN.GBK";
}

const wchar_t* SystemConstants::mainProgram()
{
    return L"Vornix";
}

wchar_t SystemConstants::separator()
{
    return L'/';
}

const char* SystemConstants::extensionLibrary()
{
    return "libVornixMenu64.so";
}

std::string SystemConstants::machineStateFolder()
{
    const std::string overridden = environment("VX_MACHINE_STATE");
    return overridden.empty() ? std::string("/var/lib/vornex") : overridden;
}

std::string SystemConstants::userStateFolder()
{
    const std::string state = environment("XDG_STATE_HOME");
    if (!state.empty() && state[0] == '/')
        return state + "/vornex";
    return environment("HOME") + "/.local/state/vornex";
}

std::string SystemConstants::machineRegistryFolder()
{
    return machineStateFolder() + "/registry";
}

std::string SystemConstants::userRegistryFolder()
{
    return userStateFolder() + "/registry";
}
