#pragma once

#include <cstddef>
#include <cstdint>

// The MD5 message digest (RFC 1321) in its init, update, final steps.
struct Md5Context {
    std::uint32_t m_count[2]; // bits of input so far, low word first
    std::uint32_t m_state[4]; // A, B, C, D
    unsigned char m_buffer[64];
};

void md5Init(Md5Context& context);
// Adds length bytes of input; a length of 0 does nothing.
void md5Update(Md5Context& context, const unsigned char* input, std::size_t length);
// Pads, appends the bit count and writes the 16-byte digest.
void md5Final(Md5Context& context, unsigned char digest[16]);
// The compression function over one 64-byte block (any alignment).
void md5Transform(std::uint32_t state[4], const unsigned char block[64]);
