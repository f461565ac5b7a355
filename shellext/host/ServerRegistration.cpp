#include "ServerRegistration.h"

#include <QFileInfo>

#include "WinModule.h"

namespace
{
using InstallFunction = HRESULT (*)(BOOL, LPCWSTR);
}

HRESULT ServerRegistration::install(const QString& libraryPath, bool perUser, bool doInstall)
{
    const std::wstring path = QFileInfo(libraryPath).absoluteFilePath().toStdWString();
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    const FARPROC found = GetProcAddress(module, "DllInstall");
    if (!found) {
        FreeLibrary(module);
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    InstallFunction dllInstall = reinterpret_cast<InstallFunction>(found);
    const HRESULT result = dllInstall(doInstall ? TRUE : FALSE, perUser ? L"user" : nullptr);
    FreeLibrary(module);
    return result;
}

QString ServerRegistration::describe(HRESULT result)
{
    return QString("0x%1").arg(quint32(result), 8, 16, QChar('0'));
}
