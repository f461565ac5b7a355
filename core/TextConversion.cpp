#include "TextConversion.h"

#include <codecvt>
#include <cwchar>
#include <locale>
#include <stdexcept>

#include "codecvt_gbk.h"

namespace
{

using GbkConverter = std::wstring_convert<codecvt_gbk>;
using Utf8Converter = std::wstring_convert<std::codecvt_utf8<wchar_t>>;

constexpr const char* kBadConversion = "bad conversion";

// The converter stops quietly at a multi-byte sequence that the text cuts off; that is a text it
// cannot convert as well, so it fails like any other.
void requireComplete(bool complete)
{
    if (!complete)
        throw std::range_error(kBadConversion);
}

// Every failed conversion carries the same text, whichever step of the library found it.
template <typename Convert> auto convertOrThrow(Convert convert) -> decltype(convert())
{
    try {
        return convert();
    } catch (const std::range_error&) {
        throw std::range_error(kBadConversion);
    }
}

} // namespace

std::wstring gbkToWide(const std::string& text)
{
    GbkConverter converter;
    std::wstring wide = convertOrThrow([&] { return converter.from_bytes(text); });
    std::mbstate_t state = converter.state();
    requireComplete(std::mbsinit(&state) != 0 && converter.converted() == text.size());
    return wide;
}

std::string wideToGbk(const std::wstring& text)
{
    GbkConverter converter;
    return convertOrThrow([&] { return converter.to_bytes(text); });
}

std::wstring utf8ToWide(const std::string& text)
{
    Utf8Converter converter;
    std::wstring wide = convertOrThrow([&] { return converter.from_bytes(text); });
    requireComplete(converter.converted() == text.size());
    return wide;
}

std::string wideToUtf8(const std::wstring& text)
{
    Utf8Converter converter;
    return convertOrThrow([&] { return converter.to_bytes(text); });
}

std::string gbkToUtf8(const std::string& text)
{
    return wideToUtf8(gbkToWide(text));
}

std::string utf8ToGbk(const std::string& text)
{
    return wideToGbk(utf8ToWide(text));
}

bool isUtf8(const std::string& bytes)
{
    int pending = 0;
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (pending > 0) {
            if (byte < 0x80 || byte > 0xBF)
                return false;
            --pending;
        } else if (byte < 0x80) {
            continue;
        } else if (byte <= 0xBF) {
            return false;
        } else if (byte <= 0xDF) {
            pending = 1;
        } else if (byte <= 0xEF) {
            pending = 2;
        } else if (byte <= 0xF7) {
            pending = 3;
        } else if (byte <= 0xFB) {
            pending = 4;
        } else if (byte <= 0xFD) {
            pending = 5;
        } else {
            pending = 4;
        }
    }
    return pending == 0;
}
