#include "WinString.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "WideText.h"

namespace
{

wchar_t foldAscii(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
}

std::string toCodePage(UINT codePage, const std::wstring& text, const char* fallback, bool* usedFallback)
{
    if (codePage == CP_UTF8)
        return WideText::toUtf8(text);
    std::string out;
    std::mbstate_t state = {};
    for (const wchar_t c : text) {
        char bytes[MB_LEN_MAX];
        const std::size_t length = std::wcrtomb(bytes, c, &state);
        if (length == std::size_t(-1)) {
            out += fallback;
            *usedFallback = true;
            state = std::mbstate_t();
            continue;
        }
        out.append(bytes, length);
    }
    return out;
}

} // namespace

int lstrlenW(LPCWSTR text)
{
    return text ? int(std::wcslen(text)) : 0;
}

LPWSTR lstrcpynW(LPWSTR target, LPCWSTR source, int maxLength)
{
    if (!target || maxLength <= 0)
        return target;
    int i = 0;
    for (; source && i < maxLength - 1 && source[i]; ++i)
        target[i] = source[i];
    target[i] = L'\0';
    return target;
}

LPSTR lstrcpynA(LPSTR target, LPCSTR source, int maxLength)
{
    if (!target || maxLength <= 0)
        return target;
    int i = 0;
    for (; source && i < maxLength - 1 && source[i]; ++i)
        target[i] = source[i];
    target[i] = '\0';
    return target;
}

int _wcsicmp(const wchar_t* a, const wchar_t* b)
{
    return _wcsnicmp(a, b, std::size_t(-1));
}

int _wcsnicmp(const wchar_t* a, const wchar_t* b, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const wchar_t x = foldAscii(a[i]);
        const wchar_t y = foldAscii(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == L'\0')
            return 0;
    }
    return 0;
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int length, LPSTR target, int targetSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar)
{
    if (!text)
        return 0;
    // A length of -1 converts up to and with the terminating zero.
    const bool withZero = length < 0;
    const std::wstring source = withZero ? std::wstring(text) : std::wstring(text, std::size_t(length));
    bool usedFallback = false;
    std::string bytes = toCodePage(codePage, source, defaultChar ? defaultChar : "?", &usedFallback);
    if (withZero)
        bytes += '\0';
    if (usedDefaultChar)
        *usedDefaultChar = usedFallback ? TRUE : FALSE;
    if (targetSize == 0)
        return int(bytes.size());
    if (!target || targetSize < int(bytes.size()))
        return 0;
    std::memcpy(target, bytes.data(), bytes.size());
    return int(bytes.size());
}
