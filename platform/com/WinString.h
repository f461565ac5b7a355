#pragma once

#include "ComTypes.h"

// The text calls of the Windows kernel and runtime library that the handler uses.
int lstrlenW(LPCWSTR text);
// Copies at most maxLength - 1 characters and a terminating zero; nothing for a maxLength of 0.
LPWSTR lstrcpynW(LPWSTR target, LPCWSTR source, int maxLength);
LPSTR lstrcpynA(LPSTR target, LPCSTR source, int maxLength);
// Case-insensitive comparison that folds the letters A-Z only, as the runtime library does in
// its default locale.
int _wcsicmp(const wchar_t* a, const wchar_t* b);
int _wcsnicmp(const wchar_t* a, const wchar_t* b, std::size_t count);

constexpr UINT CP_ACP = 0;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;
// The thread's code page here is the character set of the process's locale (LC_CTYPE); a
// character it cannot express becomes '?'. The bytes written, or the bytes needed when the
// target size is 0; 0 when the target is too small.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR target, int targetSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);
