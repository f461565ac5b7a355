#include "Digests.h"

#include "Md5.h"

std::string md5Raw(const std::string& text)
{
    Md5Context context;
    md5Init(context);
    md5Update(context, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    unsigned char digest[16];
    md5Final(context, digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof(digest));
}

std::string md5Hex(const std::string& text)
{
    return hexLower(md5Raw(text));
}

std::string md5Of(const std::string& text)
{
    return md5Hex(text);
}

std::string hexLower(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

std::string scrambledDigest(const std::string& text)
{
    std::string digest = md5Raw(text);
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned byte = static_cast<unsigned char>(digest[i]);
        digest[i] = static_cast<char>((((byte ^ i) << 2) | (i * i)) & 0xFF);
    }
    return hexLower(digest);
}

int hashText(const std::wstring& text)
{
    std::uint32_t hash = 0;
    const auto add = [&hash](std::uint32_t unit) { hash = hash * 131u + unit; };
    for (const wchar_t c : text) {
        const std::uint32_t code = static_cast<std::uint32_t>(c);
        // wchar_t holds whole code points here; a character beyond the first plane counts as its
        // UTF-16 surrogate pair, as it does where wchar_t is 16 bits.
        if (code > 0xFFFF && code <= 0x10FFFF) {
            add(0xD800 + ((code - 0x10000) >> 10));
            add(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            add(code);
        }
    }
    return static_cast<int>(hash);
}

int byteSum(std::uint32_t value)
{
    return static_cast<int>((value >> 24) + ((value >> 16) & 0xFF) + ((value >> 8) & 0xFF) + (value & 0xFF));
}
