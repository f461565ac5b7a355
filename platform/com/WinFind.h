#pragma once

#include <string>

#include "ComTypes.h"

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    std::wstring cFileName;
};

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(~UINT_PTR(0)))

// A search over one folder's entries whose names match the last component of `pattern` ('*' and
// '?' as wildcards); a pattern without wildcards finds that one entry. INVALID_HANDLE_VALUE when
// nothing matches.
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE search);
