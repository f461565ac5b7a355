#include "Md5.h"

#include <cstring>

namespace
{

constexpr std::uint32_t rotateLeft(std::uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

constexpr std::uint32_t f(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    return (x & y) | (~x & z);
}

constexpr std::uint32_t g(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    return (x & z) | (y & ~z);
}

constexpr std::uint32_t h(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    return x ^ y ^ z;
}

constexpr std::uint32_t i(std::uint32_t x, std::uint32_t y, std::uint32_t z)
{
    return y ^ (x | ~z);
}

// Per-step shift amounts and the sine-derived constants T[1..64] of RFC 1321.
constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

void encode(unsigned char* output, const std::uint32_t* input, std::size_t words)
{
    for (std::size_t w = 0; w < words; ++w) {
        output[4 * w] = static_cast<unsigned char>(input[w] & 0xFF);
        output[4 * w + 1] = static_cast<unsigned char>((input[w] >> 8) & 0xFF);
        output[4 * w + 2] = static_cast<unsigned char>((input[w] >> 16) & 0xFF);
        output[4 * w + 3] = static_cast<unsigned char>((input[w] >> 24) & 0xFF);
    }
}

} // namespace

void md5Init(Md5Context& context)
{
    context.m_count[0] = 0;
    context.m_count[1] = 0;
    context.m_state[0] = 0x67452301;
    context.m_state[1] = 0xefcdab89;
    context.m_state[2] = 0x98badcfe;
    context.m_state[3] = 0x10325476;
    std::memset(context.m_buffer, 0, sizeof(context.m_buffer));
}

void md5Update(Md5Context& context, const unsigned char* input, std::size_t length)
{
    if (length == 0 || !input)
        return;
    std::size_t index = (context.m_count[0] >> 3) & 0x3F;
    const std::uint32_t lowBits = static_cast<std::uint32_t>(length << 3);
    context.m_count[0] += lowBits;
    if (context.m_count[0] < lowBits)
        ++context.m_count[1];
    context.m_count[1] += static_cast<std::uint32_t>(static_cast<std::uint64_t>(length) >> 29);

    const std::size_t partLength = 64 - index;
    std::size_t done = 0;
    if (length >= partLength) {
        std::memcpy(&context.m_buffer[index], input, partLength);
        md5Transform(context.m_state, context.m_buffer);
        for (done = partLength; done + 63 < length; done += 64)
            md5Transform(context.m_state, &input[done]);
        index = 0;
    }
    std::memcpy(&context.m_buffer[index], &input[done], length - done);
}

void md5Final(Md5Context& context, unsigned char digest[16])
{
    unsigned char bits[8];
    encode(bits, context.m_count, 2);
    static const unsigned char padding[64] = {0x80};
    const std::size_t index = (context.m_count[0] >> 3) & 0x3F;
    const std::size_t padLength = index < 56 ? 56 - index : 120 - index;
    md5Update(context, padding, padLength);
    md5Update(context, bits, 8);
    encode(digest, context.m_state, 4);
    std::memset(&context, 0, sizeof(context));
}

void md5Transform(std::uint32_t state[4], const unsigned char block[64])
{
    // Decoding byte by byte reads a block at any address.
    std::uint32_t x[16];
    for (int w = 0; w < 16; ++w)
        x[w] = static_cast<std::uint32_t>(block[4 * w]) |
               (static_cast<std::uint32_t>(block[4 * w + 1]) << 8) |
               (static_cast<std::uint32_t>(block[4 * w + 2]) << 16) |
               (static_cast<std::uint32_t>(block[4 * w + 3]) << 24);

    std::uint32_t a = state[0];
    std::uint32_t b = state[1];
    std::uint32_t c = state[2];
    std::uint32_t d = state[3];
    for (int step = 0; step < 64; ++step) {
        const int round = step / 16;
        std::uint32_t mixed = 0;
        int word = 0;
        switch (round) {
        case 0:
            mixed = f(b, c, d);
            word = step;
            break;
        case 1:
            mixed = g(b, c, d);
            word = (5 * step + 1) % 16;
            break;
        case 2:
            mixed = h(b, c, d);
            word = (3 * step + 5) % 16;
            break;
        default:
            mixed = i(b, c, d);
            word = (7 * step) % 16;
            break;
        }
        const std::uint32_t next =
            b + rotateLeft(a + mixed + x[word] + kSine[step], kShifts[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}
