#include "CRijndael.h"

#include <cstring>

#include "RijndaelTables.h"

namespace
{

bool isValidLength(int length)
{
    return length == 16 || length == 24 || length == 32;
}

std::uint32_t loadWord(const unsigned char* bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

// Row shifts by the number of columns: 4 and 6 columns shift rows 1, 2, 3 by 1, 2, 3; 8 columns by
// 1, 3, 4.
void rowShifts(int columns, int shifts[4])
{
    shifts[0] = 0;
    shifts[1] = 1;
    shifts[2] = columns == 8 ? 3 : 2;
    shifts[3] = columns == 8 ? 4 : 3;
}

} // namespace

CRijndael::CRijndael()
    : m_keyReady(false)
    , m_encryptKeys()
    , m_decryptKeys()
    , m_keyLength(0)
    , m_blockSize(0)
    , m_rounds(0)
    , m_initialChain()
    , m_chain()
{
}

CRijndael::~CRijndael() = default;

void CRijndael::setKey(const unsigned char* key, const unsigned char* chain, int keyLength, int blockSize)
{
    m_keyReady = false;
    if (!key || !isValidLength(keyLength) || !isValidLength(blockSize))
        return;
    const RijndaelTables& tables = RijndaelTables::instance();
    m_keyLength = keyLength;
    m_blockSize = blockSize;
    std::memset(m_initialChain, 0, sizeof(m_initialChain));
    if (chain)
        std::memcpy(m_initialChain, chain, static_cast<std::size_t>(blockSize));
    std::memcpy(m_chain, m_initialChain, sizeof(m_chain));

    const int keyColumns = keyLength / 4;
    const int blockColumns = blockSize / 4;
    m_rounds = (keyColumns > blockColumns ? keyColumns : blockColumns) + 6;

    std::memset(m_encryptKeys, 0, sizeof(m_encryptKeys));
    std::memset(m_decryptKeys, 0, sizeof(m_decryptKeys));

    // Key expansion: the key words, then groups of keyColumns words each derived from the group
    // before, until every round has its blockColumns words.
    std::uint32_t schedule[kMaxColumns];
    for (int j = 0; j < keyColumns; ++j)
        schedule[j] = loadWord(key + 4 * j);
    const int totalWords = (m_rounds + 1) * blockColumns;
    int filled = 0;
    const auto store = [&]() {
        for (int j = 0; j < keyColumns && filled < totalWords; ++j, ++filled)
            m_encryptKeys[filled / blockColumns][filled % blockColumns] = schedule[j];
    };
    store();
    const auto substitute = [&tables](std::uint32_t w) {
        return (std::uint32_t(tables.m_sbox[(w >> 24) & 0xFF]) << 24) |
               (std::uint32_t(tables.m_sbox[(w >> 16) & 0xFF]) << 16) |
               (std::uint32_t(tables.m_sbox[(w >> 8) & 0xFF]) << 8) | std::uint32_t(tables.m_sbox[w & 0xFF]);
    };
    int constant = 0;
    while (filled < totalWords) {
        const std::uint32_t last = schedule[keyColumns - 1];
        schedule[0] ^= substitute((last << 8) | (last >> 24)) ^
                       (std::uint32_t(tables.m_roundConstants[constant++]) << 24);
        if (keyColumns != 8) {
            for (int j = 1; j < keyColumns; ++j)
                schedule[j] ^= schedule[j - 1];
        } else {
            for (int j = 1; j < keyColumns / 2; ++j)
                schedule[j] ^= schedule[j - 1];
            schedule[keyColumns / 2] ^= substitute(schedule[keyColumns / 2 - 1]);
            for (int j = keyColumns / 2 + 1; j < keyColumns; ++j)
                schedule[j] ^= schedule[j - 1];
        }
        store();
    }

    // Decryption keys: the encryption keys in reverse round order, the inner rounds passed through
    // the inverse column mix.
    for (int r = 0; r <= m_rounds; ++r)
        for (int j = 0; j < blockColumns; ++j)
            m_decryptKeys[m_rounds - r][j] = m_encryptKeys[r][j];
    for (int r = 1; r < m_rounds; ++r) {
        for (int j = 0; j < blockColumns; ++j) {
            const std::uint32_t w = m_decryptKeys[r][j];
            m_decryptKeys[r][j] = tables.m_inverseMix[0][(w >> 24) & 0xFF] ^
                                  tables.m_inverseMix[1][(w >> 16) & 0xFF] ^
                                  tables.m_inverseMix[2][(w >> 8) & 0xFF] ^ tables.m_inverseMix[3][w & 0xFF];
        }
    }
    m_keyReady = true;
}

void CRijndael::encryptBlock(const unsigned char* in, unsigned char* out)
{
    if (!m_keyReady)
        return;
    const RijndaelTables& tables = RijndaelTables::instance();
    const int columns = m_blockSize / 4;
    int shifts[4];
    rowShifts(columns, shifts);
    std::uint32_t state[kMaxColumns];
    std::uint32_t next[kMaxColumns];
    for (int j = 0; j < columns; ++j)
        state[j] = loadWord(in + 4 * j) ^ m_encryptKeys[0][j];
    for (int r = 1; r < m_rounds; ++r) {
        for (int j = 0; j < columns; ++j) {
            next[j] = tables.m_encrypt[0][(state[j] >> 24) & 0xFF] ^
                      tables.m_encrypt[1][(state[(j + shifts[1]) % columns] >> 16) & 0xFF] ^
                      tables.m_encrypt[2][(state[(j + shifts[2]) % columns] >> 8) & 0xFF] ^
                      tables.m_encrypt[3][state[(j + shifts[3]) % columns] & 0xFF] ^ m_encryptKeys[r][j];
        }
        std::memcpy(state, next, sizeof(std::uint32_t) * static_cast<std::size_t>(columns));
    }
    for (int j = 0; j < columns; ++j) {
        const std::uint32_t k = m_encryptKeys[m_rounds][j];
        next[j] = ((std::uint32_t(tables.m_sbox[(state[j] >> 24) & 0xFF]) << 24) |
                   (std::uint32_t(tables.m_sbox[(state[(j + shifts[1]) % columns] >> 16) & 0xFF]) << 16) |
                   (std::uint32_t(tables.m_sbox[(state[(j + shifts[2]) % columns] >> 8) & 0xFF]) << 8) |
                   std::uint32_t(tables.m_sbox[state[(j + shifts[3]) % columns] & 0xFF])) ^
                  k;
    }
    for (int j = 0; j < columns; ++j) {
        out[4 * j] = static_cast<unsigned char>(next[j] >> 24);
        out[4 * j + 1] = static_cast<unsigned char>(next[j] >> 16);
        out[4 * j + 2] = static_cast<unsigned char>(next[j] >> 8);
        out[4 * j + 3] = static_cast<unsigned char>(next[j]);
    }
}

void CRijndael::decryptBlock(const unsigned char* in, unsigned char* out)
{
    if (!m_keyReady)
        return;
    const RijndaelTables& tables = RijndaelTables::instance();
    const int columns = m_blockSize / 4;
    int shifts[4];
    rowShifts(columns, shifts);
    std::uint32_t state[kMaxColumns];
    std::uint32_t next[kMaxColumns];
    for (int j = 0; j < columns; ++j)
        state[j] = loadWord(in + 4 * j) ^ m_decryptKeys[0][j];
    for (int r = 1; r < m_rounds; ++r) {
        for (int j = 0; j < columns; ++j) {
            next[j] = tables.m_decrypt[0][(state[j] >> 24) & 0xFF] ^
                      tables.m_decrypt[1][(state[(j + columns - shifts[1]) % columns] >> 16) & 0xFF] ^
                      tables.m_decrypt[2][(state[(j + columns - shifts[2]) % columns] >> 8) & 0xFF] ^
                      tables.m_decrypt[3][state[(j + columns - shifts[3]) % columns] & 0xFF] ^
                      m_decryptKeys[r][j];
        }
        std::memcpy(state, next, sizeof(std::uint32_t) * static_cast<std::size_t>(columns));
    }
    for (int j = 0; j < columns; ++j) {
        const std::uint32_t k = m_decryptKeys[m_rounds][j];
        next[j] =
            ((std::uint32_t(tables.m_inverseSbox[(state[j] >> 24) & 0xFF]) << 24) |
             (std::uint32_t(tables.m_inverseSbox[(state[(j + columns - shifts[1]) % columns] >> 16) & 0xFF])
              << 16) |
             (std::uint32_t(tables.m_inverseSbox[(state[(j + columns - shifts[2]) % columns] >> 8) & 0xFF])
              << 8) |
             std::uint32_t(tables.m_inverseSbox[state[(j + columns - shifts[3]) % columns] & 0xFF])) ^
            k;
    }
    for (int j = 0; j < columns; ++j) {
        out[4 * j] = static_cast<unsigned char>(next[j] >> 24);
        out[4 * j + 1] = static_cast<unsigned char>(next[j] >> 16);
        out[4 * j + 2] = static_cast<unsigned char>(next[j] >> 8);
        out[4 * j + 3] = static_cast<unsigned char>(next[j]);
    }
}

void CRijndael::encryptBuffer(const unsigned char* in, unsigned char* out, std::size_t n, int mode)
{
    if (!m_keyReady)
        return;
    const std::size_t size = static_cast<std::size_t>(m_blockSize);
    for (std::size_t offset = 0; offset + size <= n; offset += size) {
        const unsigned char* block = in + offset;
        unsigned char* result = out + offset;
        if (mode == CBC) {
            xorBlock(m_chain, block);
            encryptBlock(m_chain, result);
            std::memcpy(m_chain, result, size);
        } else if (mode == CFB) {
            unsigned char plain[32];
            std::memcpy(plain, block, size);
            encryptBlock(m_chain, result);
            xorBlock(result, plain);
            std::memcpy(m_chain, result, size);
        } else {
            encryptBlock(block, result);
        }
    }
}

void CRijndael::decryptBuffer(const unsigned char* in, unsigned char* out, std::size_t n, int mode)
{
    if (!m_keyReady)
        return;
    const std::size_t size = static_cast<std::size_t>(m_blockSize);
    for (std::size_t offset = 0; offset + size <= n; offset += size) {
        // The cipher block becomes the next chain; keep it before the output may overwrite it.
        unsigned char cipher[32];
        std::memcpy(cipher, in + offset, size);
        unsigned char* result = out + offset;
        if (mode == CBC) {
            decryptBlock(cipher, result);
            xorBlock(result, m_chain);
            std::memcpy(m_chain, cipher, size);
        } else if (mode == CFB) {
            encryptBlock(m_chain, result);
            xorBlock(result, cipher);
            std::memcpy(m_chain, cipher, size);
        } else {
            decryptBlock(cipher, result);
        }
    }
}

void CRijndael::xorBlock(unsigned char* buffer, const unsigned char* data) const
{
    for (int i = 0; i < m_blockSize; ++i)
        buffer[i] ^= data[i];
}
