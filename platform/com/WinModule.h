#pragma once

#include <cstddef>

#include "ComTypes.h"

// Loaded libraries. A module handle is the address at which the library is loaded, as on Windows;
// the library finds its own from any of its addresses (moduleOfAddress).
HMODULE LoadLibraryW(LPCWSTR fileName);
BOOL FreeLibrary(HMODULE module);
using FARPROC = void (*)();
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// The module's full file name (the program's for a null module) into a buffer of `size`
// characters. A name that does not fit is cut to size - 1 characters and ended with a zero; the
// result is then `size` and the last error ERROR_INSUFFICIENT_BUFFER. 0 for an unknown module.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
// The module that holds the address.
HMODULE moduleOfAddress(const void* address);

// Resource types by number, and the way a number is written as a type name.
constexpr WORD RT_BITMAP = 2;
constexpr WORD RT_STRING = 6;
constexpr WORD RT_VERSION = 16;
constexpr WORD RT_MANIFEST = 24;

// Resources carried inside a module. Here they are ELF notes of the owner "Vornex" in the module's
// loaded image: each note holds the resource's number, its type name (a text such as "REGISTRY",
// or "#" and the number of a numbered type) and its bytes.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
void* LockResource(HGLOBAL resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
