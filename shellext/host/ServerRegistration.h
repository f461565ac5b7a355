#pragma once

#include <QString>

#include "ComTypes.h"

// Registers and unregisters an in-process server as regsvr32 does with /n /i: loads the library,
// calls its DllInstall (with the command line "user" for the current user), and frees it again.
class ServerRegistration
{
public:
    // The result of DllInstall, or the failure to load the library or find the export.
    static HRESULT install(const QString& libraryPath, bool perUser, bool doInstall);
    // One line naming the result, for the host's output.
    static QString describe(HRESULT result);
};
