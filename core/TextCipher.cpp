#include "TextCipher.h"

#include <cstring>
#include <vector>

#include "Base64.h"
#include "CRijndael.h"

namespace
{

constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kKeyLength = 32;

void keyFromText(const char* keyText, unsigned char key[kKeyLength])
{
    std::memset(key, '0', kKeyLength);
    if (!keyText)
        return;
    const std::size_t length = std::strlen(keyText);
    std::memcpy(key, keyText, length < kKeyLength ? length : kKeyLength);
}

} // namespace

std::string aesEncryptText(const std::string& plain, const char* keyText)
{
    const std::size_t blocks = plain.size() / kBlockSize + 1;
    const std::size_t pad = kBlockSize - plain.size() % kBlockSize;
    std::vector<unsigned char> buffer(blocks * kBlockSize, static_cast<unsigned char>(pad));
    std::memcpy(buffer.data(), plain.data(), plain.size());

    unsigned char key[kKeyLength];
    keyFromText(keyText, key);
    CRijndael cipher;
    cipher.setKey(key, nullptr, static_cast<int>(kKeyLength), static_cast<int>(kBlockSize));
    cipher.encryptBuffer(buffer.data(), buffer.data(), buffer.size(), CRijndael::ECB);
    return base64EncodeBytes(buffer.data(), buffer.size());
}

std::string aesDecryptText(const std::string& cipherText, const char* keyText)
{
    if (cipherText.empty())
        return std::string();
    std::string raw = base64Decode(cipherText);
    if (raw.empty() || raw.size() % kBlockSize != 0)
        return std::string();

    unsigned char key[kKeyLength];
    keyFromText(keyText, key);
    CRijndael cipher;
    cipher.setKey(key, nullptr, static_cast<int>(kKeyLength), static_cast<int>(kBlockSize));
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&raw[0]);
    cipher.decryptBuffer(bytes, bytes, raw.size(), CRijndael::ECB);

    const int pad = static_cast<signed char>(raw.back());
    if (pad >= 0 && static_cast<std::size_t>(pad) <= raw.size())
        raw.resize(raw.size() - static_cast<std::size_t>(pad));
    return raw;
}
