#include "CipherHelpers.h"

#include <cstring>
#include <exception>
#include <vector>

#include "CRijndael.h"

namespace
{

constexpr int kBlockSize = 16;
constexpr int kFixedKeyLength = 24;
constexpr const char* kFixedKeyHex = "3A7C19E0B42D6F85C1E9073B5D28A4F61C0E93B7D52A8F14";
// Its 16 character codes are the chain bytes; it is not read as hexadecimal.
constexpr const char* kFixedChain = "9B4E2C71D8A03F56";

int upperHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void byteToHex(unsigned char byte, char output[3])
{
    static const char digits[] = "0123456789ABCDEF";
    output[0] = digits[byte >> 4];
    output[1] = digits[byte & 0x0F];
    output[2] = '\0';
}

void hexToByte(const char* twoCharacters, unsigned char& byte)
{
    unsigned value = 0;
    for (int i = 0; i < 2 && twoCharacters; ++i) {
        const int digit = upperHexValue(twoCharacters[i]);
        if (digit < 0)
            break; // also stops at the zero byte that ends a short text
        value = value * 16 + static_cast<unsigned>(digit);
    }
    byte = static_cast<unsigned char>(value);
}

void bytesToHex(const unsigned char* bytes, std::string& output, std::size_t n)
{
    output.clear();
    if (!bytes)
        return;
    output.reserve(2 * n);
    char pair[3];
    for (std::size_t i = 0; i < n; ++i) {
        byteToHex(bytes[i], pair);
        output.append(pair, 2);
    }
}

void hexToBytes(const std::string& hex, unsigned char* output, std::size_t n)
{
    if (!output)
        return;
    for (std::size_t i = 0; i < n; ++i) {
        if (2 * i < hex.size())
            hexToByte(hex.c_str() + 2 * i, output[i]);
        else
            output[i] = 0;
    }
}

std::string padBlock(const std::string& text)
{
    const std::size_t length = std::strlen(text.c_str());
    const std::size_t pad = kBlockSize - length % kBlockSize;
    std::string padded(text, 0, length);
    padded.append(pad, static_cast<char>(pad));
    return padded;
}

void setFixedKey(CRijndael& cipher)
{
    unsigned char key[kFixedKeyLength];
    hexToBytes(kFixedKeyHex, key, sizeof(key));
    cipher.setKey(key, reinterpret_cast<const unsigned char*>(kFixedChain), kFixedKeyLength, kBlockSize);
}

void encryptToHex(const std::string& text, std::string& output)
{
    try {
        // The padded text may be of any length: the work buffer grows with it.
        const std::string padded = padBlock(text);
        std::vector<unsigned char> cipherBytes(padded.size());
        CRijndael cipher;
        setFixedKey(cipher);
        cipher.encryptBuffer(reinterpret_cast<const unsigned char*>(padded.data()), cipherBytes.data(),
                             padded.size(), CRijndael::CBC);
        bytesToHex(cipherBytes.data(), output, cipherBytes.size());
    } catch (const std::exception& error) {
        output = error.what();
    }
}
