#pragma once

#include <cstddef>
#include <string>

class CRijndael;

// Two upper-case hexadecimal characters of the byte and a zero byte.
void byteToHex(unsigned char byte, char output[3]);

// The value of two upper-case hexadecimal characters; a character that is not '0'-'9' or 'A'-'F'
// (lower-case letters included) stops the parse and the value so far stays.
void hexToByte(const char* twoCharacters, unsigned char& byte);

// output = the upper-case hexadecimal text of the n bytes.
void bytesToHex(const unsigned char* bytes, std::string& output, std::size_t n);

// n bytes from the first 2n characters of hex; bytes whose characters the text lacks are 0.
void hexToBytes(const std::string& hex, unsigned char* output, std::size_t n);

// The text up to its first zero byte, followed by p = 16 - (length mod 16) bytes of value p.
std::string padBlock(const std::string& text);

// Keys the cipher with the built-in 24-byte key and chain, 16-byte blocks (AES-192).
void setFixedKey(CRijndael& cipher);

// The text up to its first zero byte, padded by padBlock and encrypted in CBC mode with the
// built-in key, as upper-case hexadecimal (32 characters a block). A standard exception on the
// way puts its message into output instead.
void encryptToHex(const std::string& text, std::string& output);
