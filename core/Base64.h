#pragma once

#include <cstddef>
#include <string>

// Base64 with the standard alphabet of RFC 4648 and '=' padding, without line breaks.
std::string base64Encode(const std::string& bytes);
std::string base64EncodeBytes(const unsigned char* data, std::size_t length);

// Decodes from the start up to the end, the first '=' or the first character outside the alphabet.
// A final group of 2 or 3 characters gives 1 or 2 bytes; a single final character gives nothing.
std::string base64Decode(const std::string& text);

// Whether the character belongs to the alphabet: an ASCII letter or digit, '+' or '/'.
bool isBase64Char(char c);
