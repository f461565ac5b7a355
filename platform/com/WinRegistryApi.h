#pragma once

#include "ComTypes.h"

// The registry calls of the COM layer, on the registry store of this system (SystemConstants):
// one folder tree per hive, a folder per key, the key's values in its folder's file ".values".
// Key names compare without regard to the case of A-Z. HKEY_CLASSES_ROOT is the merged view of
// the user's classes (HKEY_CURRENT_USER\Software\Classes) over the machine's
// (HKEY_LOCAL_MACHINE\Software\Classes): reading finds a key in either, the user's first; creating
// a key there that exists in neither makes it in the machine's.

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(UINT_PTR(0x80000000)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(UINT_PTR(0x80000001)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(UINT_PTR(0x80000002)))

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

using REGSAM = DWORD;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                        REGSAM access, void* security, HKEY* result, DWORD* disposition);
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* result);
LSTATUS RegCloseKey(HKEY key);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// REG_SZ data come back as wide characters with their terminating zero. With a null data pointer
// only the size is reported; a short buffer gives ERROR_MORE_DATA and the size needed.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Subkeys in the order of their names; ERROR_NO_MORE_ITEMS past the last.
LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD* reserved, LPWSTR keyClass,
                      DWORD* classLength, void* lastWrite);
LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD* reserved, DWORD* type,
                      BYTE* data, DWORD* size);
LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, DWORD* classLength, DWORD* reserved, DWORD* subKeys,
                         DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values,
                         DWORD* maxValueNameLength, DWORD* maxValueLength, DWORD* securityDescriptor,
                         void* lastWrite);
// Deletes a key that has no subkeys.
LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// Deletes a key with all its subkeys and values (with a null subKey: the key's content).
LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey);
