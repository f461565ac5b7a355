#include "Base64.h"

namespace
{

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

unsigned valueOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned>(c - 'A');
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned>(c - 'a') + 26;
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0') + 52;
    return c == '+' ? 62 : 63;
}

} // namespace

std::string base64Encode(const std::string& bytes)
{
    return base64EncodeBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string base64EncodeBytes(const unsigned char* data, std::size_t length)
{
    std::string encoded;
    if (!data)
        return encoded;
    encoded.reserve((length + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned group = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        encoded += kAlphabet[(group >> 18) & 0x3F];
        encoded += kAlphabet[(group >> 12) & 0x3F];
        encoded += kAlphabet[(group >> 6) & 0x3F];
        encoded += kAlphabet[group & 0x3F];
    }
    const std::size_t rest = length - i;
    if (rest > 0) {
        const unsigned group = (data[i] << 16) | (rest == 2 ? data[i + 1] << 8 : 0);
        encoded += kAlphabet[(group >> 18) & 0x3F];
        encoded += kAlphabet[(group >> 12) & 0x3F];
        if (rest == 2) {
            encoded += kAlphabet[(group >> 6) & 0x3F];
            encoded += kPad;
        } else {
            encoded += kPad;
            encoded += kPad;
        }
    }
    return encoded;
}

std::string base64Decode(const std::string& text)
{
    std::string decoded;
    decoded.reserve(text.size() / 4 * 3);
    unsigned group = 0;
    int count = 0;
    for (const char c : text) {
        if (c == kPad || !isBase64Char(c))
            break;
        group = (group << 6) | valueOf(c);
        if (++count == 4) {
            decoded += static_cast<char>((group >> 16) & 0xFF);
            decoded += static_cast<char>((group >> 8) & 0xFF);
            decoded += static_cast<char>(group & 0xFF);
            group = 0;
            count = 0;
        }
    }
    if (count == 2) {
        decoded += static_cast<char>((group >> 4) & 0xFF);
    } else if (count == 3) {
        decoded += static_cast<char>((group >> 10) & 0xFF);
        decoded += static_cast<char>((group >> 2) & 0xFF);
    }
    return decoded;
}

bool isBase64Char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}
