#include "WideText.h"

#include <cstdint>

namespace
{

void appendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Length of the sequence a lead byte opens and the bits it carries; 0 for a byte that opens none.
int sequenceLength(unsigned char lead, std::uint32_t* bits)
{
    if (lead < 0x80) {
        *bits = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        *bits = lead & 0x1F;
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        *bits = lead & 0x0F;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        *bits = lead & 0x07;
        return 4;
    }
    return 0;
}

} // namespace

std::string WideText::toUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wc : text) {
        const std::uint32_t c = std::uint32_t(wc);
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            return std::string();
        appendUtf8(out, c);
    }
    return out;
}

std::wstring WideText::fromUtf8(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint32_t c = 0;
        const int length = sequenceLength(static_cast<unsigned char>(bytes[i]), &c);
        bool valid = length > 0 && i + std::size_t(length) <= bytes.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + std::size_t(k)]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out += wchar_t(0xFFFD);
            ++i;
            continue;
        }
        out += wchar_t(c);
        i += std::size_t(length);
    }
    return out;
}
