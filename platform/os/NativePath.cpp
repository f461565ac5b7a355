#include "NativePath.h"

#include <cstdint>

namespace
{

// wchar_t is 32 bits here, but a text handed over from UTF-16 may still carry surrogate pairs.
bool isHighSurrogate(std::uint32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(std::uint32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

void appendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string NativePath::fromWide(const std::wstring& path)
{
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(path[i]);
        if (isHighSurrogate(c) && i + 1 < path.size() &&
            isLowSurrogate(static_cast<std::uint32_t>(path[i + 1]))) {
            const std::uint32_t low = static_cast<std::uint32_t>(path[++i]);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        } else if (isHighSurrogate(c) || isLowSurrogate(c) || c > 0x10FFFF) {
            return std::string();
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string NativePath::fromWide(const wchar_t* path)
{
    return path ? fromWide(std::wstring(path)) : std::string();
}

std::wstring NativePath::toWide(const std::string& name)
{
    std::wstring out;
    out.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        const unsigned char lead = static_cast<unsigned char>(name[i]);
        std::uint32_t c = 0;
        std::size_t extra = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            c = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            c = lead & 0x1F;
            extra = 1;
            least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            c = lead & 0x0F;
            extra = 2;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            c = lead & 0x07;
            extra = 3;
            least = 0x10000;
        } else {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        std::size_t taken = 1;
        bool valid = true;
        for (; taken <= extra; ++taken) {
            if (i + taken >= name.size()) {
                valid = false;
                break;
            }
            const unsigned char next = static_cast<unsigned char>(name[i + taken]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += extra + 1;
    }
    return out;
}
