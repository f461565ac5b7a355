#pragma once

#include <cstdint>
#include <string>

#include "ComTypes.h"

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

bool operator==(const GUID& a, const GUID& b);
bool operator!=(const GUID& a, const GUID& b);

inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return a == b;
}

// The registry form of a GUID, "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", and back.
class GuidText
{
public:
    // Lower-case hexadecimal digits, as the registry script writes class ids.
    static std::wstring toString(REFGUID guid);
    // Accepts the braced form in either case; false for anything else.
    static bool fromString(const std::wstring& text, GUID* guid);
};

// StringFromGUID2: the braced form in upper case (as Windows writes it) into a buffer of cchMax
// characters; returns the characters written with the terminating zero, 0 when the buffer is short.
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax);
// CLSIDFromString: the braced form; E_INVALIDARG (CO_E_CLASSSTRING on Windows) for anything else.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
