#pragma once

#include <cstdint>
#include <string>

// MD5 of every byte of the text (embedded zero bytes included): 16 raw bytes.
std::string md5Raw(const std::string& text);
// The same as 32 lower-case hexadecimal characters; md5Of is another name for it.
std::string md5Hex(const std::string& text);
std::string md5Of(const std::string& text);

// Two lower-case hexadecimal characters a byte, high nibble first.
std::string hexLower(const std::string& bytes);

// A fixed, one-way scramble of the MD5 digest, as 32 hexadecimal characters.
std::string scrambledDigest(const std::string& text);

// h = h * 131 + c over the UTF-16 code units of the text, modulo 2^32, as a signed value.
int hashText(const std::wstring& text);

// The sum of the four bytes of the value, 0 to 1020.
int byteSum(std::uint32_t value);
