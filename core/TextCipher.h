#pragma once

#include <string>

// AES-256 in ECB mode with PKCS#7 padding, as base64 text. The key is the first 32 bytes of keyText
// (up to its first zero byte), filled up with '0' characters when shorter.
std::string aesEncryptText(const std::string& plain, const char* keyText);

// The reverse of aesEncryptText; empty for empty or malformed input. The padding is not checked, so
// a wrong key gives some text rather than an error.
std::string aesDecryptText(const std::string& cipherText, const char* keyText);
