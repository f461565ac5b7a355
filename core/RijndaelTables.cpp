#include "RijndaelTables.h"

namespace
{

// Multiplication in GF(2^8) modulo the Rijndael polynomial x^8 + x^4 + x^3 + x + 1.
constexpr std::uint8_t multiply(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t product = 0;
    while (b) {
        if (b & 1)
            product ^= a;
        a = static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
        b >>= 1;
    }
    return product;
}

constexpr std::uint8_t rotateByteLeft(std::uint8_t x, int n)
{
    return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr std::uint32_t word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    return (std::uint32_t(b0) << 24) | (std::uint32_t(b1) << 16) | (std::uint32_t(b2) << 8) |
           std::uint32_t(b3);
}

constexpr std::uint32_t rotateRight(std::uint32_t x, int n)
{
    return n == 0 ? x : (x >> n) | (x << (32 - n));
}

constexpr RijndaelTables build()
{
    RijndaelTables tables{};
    // Powers of the generator 3 walk through every non-zero element; the inverse of 3^k is
    // 3^(255 - k). The S-box is the inverse followed by the affine map of the standard.
    std::uint8_t power[256] = {};
    std::uint8_t logarithm[256] = {};
    std::uint8_t x = 1;
    for (int k = 0; k < 255; ++k) {
        power[k] = x;
        logarithm[x] = static_cast<std::uint8_t>(k);
        x = multiply(x, 3);
    }
    for (int v = 0; v < 256; ++v) {
        const std::uint8_t inverse = v == 0 ? 0 : power[(255 - logarithm[v]) % 255];
        const std::uint8_t s =
            static_cast<std::uint8_t>(inverse ^ rotateByteLeft(inverse, 1) ^ rotateByteLeft(inverse, 2) ^
                                      rotateByteLeft(inverse, 3) ^ rotateByteLeft(inverse, 4) ^ 0x63);
        tables.m_sbox[v] = s;
        tables.m_inverseSbox[s] = static_cast<std::uint8_t>(v);
    }
    std::uint8_t constant = 1;
    for (int r = 0; r < 30; ++r) {
        tables.m_roundConstants[r] = constant;
        constant = multiply(constant, 2);
    }
    for (int v = 0; v < 256; ++v) {
        const std::uint8_t s = tables.m_sbox[v];
        const std::uint8_t si = tables.m_inverseSbox[v];
        const std::uint8_t b = static_cast<std::uint8_t>(v);
        const std::uint32_t encrypt = word(multiply(s, 2), s, s, multiply(s, 3));
        const std::uint32_t decrypt =
            word(multiply(si, 14), multiply(si, 9), multiply(si, 13), multiply(si, 11));
        const std::uint32_t mix = word(multiply(b, 14), multiply(b, 9), multiply(b, 13), multiply(b, 11));
        for (int t = 0; t < 4; ++t) {
            tables.m_encrypt[t][v] = rotateRight(encrypt, 8 * t);
            tables.m_decrypt[t][v] = rotateRight(decrypt, 8 * t);
            tables.m_inverseMix[t][v] = rotateRight(mix, 8 * t);
        }
    }
    return tables;
}

constexpr RijndaelTables kTables = build();

static_assert(kTables.m_sbox[0x00] == 0x63 && kTables.m_sbox[0x53] == 0xED, "S-box of the standard");
static_assert(kTables.m_inverseSbox[0x63] == 0x00, "inverse S-box");
static_assert(kTables.m_roundConstants[9] == 0x36, "round constants");

} // namespace

const RijndaelTables& RijndaelTables::instance()
{
    return kTables;
}
