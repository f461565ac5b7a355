#pragma once

#include <cstdint>

// The standard Rijndael tables: S-box and its inverse, round constants, the four encryption and
// four decryption round tables (S-box and column mix in one look-up, one table per byte position)
// and the four tables of the inverse column mix used on the decryption round keys.
struct RijndaelTables {
    std::uint8_t m_sbox[256];
    std::uint8_t m_inverseSbox[256];
    std::uint8_t m_roundConstants[30];
    std::uint32_t m_encrypt[4][256];
    std::uint32_t m_decrypt[4][256];
    std::uint32_t m_inverseMix[4][256];

    static const RijndaelTables& instance();
};
