#pragma once

#include <cstddef>
#include <cstdint>

// The Rijndael block cipher (Daemen and Rijmen) with keys and blocks of 16, 24 or 32 bytes; with a
// 16-byte block it is AES (FIPS 197). Buffers run in ECB, CBC or CFB (full-block feedback) mode.
// The chain that CBC and CFB carry is kept between calls: to start again from the chain given to
// setKey, call setKey again.
class CRijndael
{
public:
    // Modes of encryptBuffer and decryptBuffer; any other value means ECB.
    static constexpr int ECB = 0;
    static constexpr int CBC = 1;
    static constexpr int CFB = 2;

    CRijndael();
    virtual ~CRijndael();

    // key is keyLength bytes and chain blockSize bytes (null: a chain of zero bytes). Lengths other
    // than 16, 24 and 32 are refused: the object then has no key.
    void setKey(const unsigned char* key, const unsigned char* chain, int keyLength = 16, int blockSize = 16);

    // One block. Without a key the output is left untouched.
    void encryptBlock(const unsigned char* in, unsigned char* out);
    void decryptBlock(const unsigned char* in, unsigned char* out);

    // n / blockSize whole blocks; the rest of n is ignored and its output bytes stay untouched.
    // in and out may be the same buffer.
    void encryptBuffer(const unsigned char* in, unsigned char* out, std::size_t n, int mode = ECB);
    void decryptBuffer(const unsigned char* in, unsigned char* out, std::size_t n, int mode = ECB);

    // buffer[i] ^= data[i] over one block.
    void xorBlock(unsigned char* buffer, const unsigned char* data) const;

private:
    static constexpr int kMaxRounds = 14;
    static constexpr int kMaxColumns = 8;

    bool m_keyReady;
    std::uint32_t m_encryptKeys[kMaxRounds + 1][kMaxColumns];
    std::uint32_t m_decryptKeys[kMaxRounds + 1][kMaxColumns];
    int m_keyLength;
    int m_blockSize;
    int m_rounds;
    unsigned char m_initialChain[32];
    unsigned char m_chain[32];
};
