#include "Guid.h"

#include <cstdio>
#include <cstring>
#include <cwctype>

bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

bool operator!=(const GUID& a, const GUID& b)
{
    return !(a == b);
}

namespace
{

std::wstring format(REFGUID g, const wchar_t* pattern)
{
    wchar_t buffer[40] = {};
    std::swprintf(buffer, 40, pattern, unsigned(g.Data1), unsigned(g.Data2), unsigned(g.Data3),
                  unsigned(g.Data4[0]), unsigned(g.Data4[1]), unsigned(g.Data4[2]), unsigned(g.Data4[3]),
                  unsigned(g.Data4[4]), unsigned(g.Data4[5]), unsigned(g.Data4[6]), unsigned(g.Data4[7]));
    return buffer;
}

int hexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Reads `digits` hexadecimal digits from text at position; false on any other character.
bool readHex(const std::wstring& text, std::size_t position, int digits, std::uint32_t* value)
{
    std::uint32_t result = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = hexValue(text[position + std::size_t(i)]);
        if (digit < 0)
            return false;
        result = result * 16 + std::uint32_t(digit);
    }
    *value = result;
    return true;
}

} // namespace

std::wstring GuidText::toString(REFGUID guid)
{
    return format(guid, L"{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}");
}

bool GuidText::fromString(const std::wstring& text, GUID* guid)
{
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}' || text[9] != L'-' || text[14] != L'-' ||
        text[19] != L'-' || text[24] != L'-')
        return false;
    GUID result = {};
    std::uint32_t value = 0;
    if (!readHex(text, 1, 8, &value))
        return false;
    result.Data1 = value;
    if (!readHex(text, 10, 4, &value))
        return false;
    result.Data2 = std::uint16_t(value);
    if (!readHex(text, 15, 4, &value))
        return false;
    result.Data3 = std::uint16_t(value);
    const std::size_t bytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, bytePositions[i], 2, &value))
            return false;
        result.Data4[i] = std::uint8_t(value);
    }
    *guid = result;
    return true;
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax)
{
    const std::wstring text = format(guid, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}");
    if (!buffer || cchMax < int(text.size()) + 1)
        return 0;
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
    return int(text.size()) + 1;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid)
{
    if (!text || !clsid)
        return E_INVALIDARG;
    return GuidText::fromString(text, clsid) ? S_OK : E_INVALIDARG;
}
