#include <cstring>
#include <string>
#include <vector>

#include <QtTest>

#include "Digests.h"
#include "Md5.h"

// MD5 against RFC 1321, piecewise updates, and the digest helpers built on it.
class DigestsTest : public QObject
{
    Q_OBJECT

private slots:
    void rfc1321Suite_data();
    void rfc1321Suite();
    void piecesGiveTheSameDigest_data();
    void piecesGiveTheSameDigest();
    void unalignedInput();
    void embeddedZeroBytes();
    void helpers();
};

// 129 bytes (i * 7 + 3) mod 256: two whole blocks and one byte.
static std::vector<unsigned char> sampleInput()
{
    std::vector<unsigned char> data(129);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
    return data;
}

static const char* const kSampleDigest = "03fefbbcebe2959cf2270241aafe0250";

static std::string hexOf(const unsigned char digest[16])
{
    return hexLower(std::string(reinterpret_cast<const char*>(digest), 16));
}

void DigestsTest::rfc1321Suite_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("digest");

    QTest::newRow("empty") << QByteArray("") << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("message digest") << QByteArray("message digest")
                                    << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz")
                              << QByteArray("c3fcd3d76192e4007dfb496cca67e13b");
    QTest::newRow("letters and digits")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
        << QByteArray("d174ab98d277d9f5a5611c2c9f419d9f");
    QTest::newRow("eighty digits") << QByteArray("1234567890").repeated(8)
                                   << QByteArray("57edf4a22be3c955ac49da2e2107b67a");
}

void DigestsTest::rfc1321Suite()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, digest);
    const std::string input = text.toStdString();
    QCOMPARE(md5Hex(input), digest.toStdString());
    QCOMPARE(md5Of(input), digest.toStdString());
    QCOMPARE(md5Raw(input).size(), std::size_t(16));
    QCOMPARE(hexLower(md5Raw(input)), digest.toStdString());
}

void DigestsTest::piecesGiveTheSameDigest_data()
{
    QTest::addColumn<QList<int>>("pieces");

    QTest::newRow("one call") << QList<int>{129};
    QTest::newRow("1, 63 and 65 bytes") << QList<int>{1, 63, 65};
    QTest::newRow("65, 63 and 1 bytes") << QList<int>{65, 63, 1};
    QTest::newRow("64, 0 and 65 bytes") << QList<int>{64, 0, 65};
    QTest::newRow("byte by byte") << QVector<int>(129, 1).toList();
}

void DigestsTest::piecesGiveTheSameDigest()
{
    QFETCH(QList<int>, pieces);
    const std::vector<unsigned char> data = sampleInput();
    Md5Context context;
    md5Init(context);
    std::size_t offset = 0;
    for (const int piece : pieces) {
        md5Update(context, data.data() + offset, static_cast<std::size_t>(piece));
        offset += static_cast<std::size_t>(piece);
    }
    QCOMPARE(offset, data.size());
    unsigned char digest[16];
    md5Final(context, digest);
    QCOMPARE(hexOf(digest), std::string(kSampleDigest));
}

void DigestsTest::unalignedInput()
{
    const std::vector<unsigned char> data = sampleInput();
    // The same bytes one address further on: every block lies off a 4-byte boundary.
    std::vector<unsigned char> shifted(data.size() + 1);
    std::memcpy(shifted.data() + 1, data.data(), data.size());
    Md5Context context;
    md5Init(context);
    md5Update(context, shifted.data() + 1, data.size());
    unsigned char digest[16];
    md5Final(context, digest);
    QCOMPARE(hexOf(digest), std::string(kSampleDigest));

    std::uint32_t aligned[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::uint32_t unaligned[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    md5Transform(aligned, data.data());
    md5Transform(unaligned, shifted.data() + 1);
    QVERIFY(std::memcmp(aligned, unaligned, sizeof(aligned)) == 0);
}

void DigestsTest::embeddedZeroBytes()
{
    QCOMPARE(md5Hex(std::string("a\0b", 3)), std::string("70350f6027bce3713f6b76473084309b"));
    QVERIFY(md5Hex(std::string("a\0b", 3)) != md5Hex("a"));
}

void DigestsTest::helpers()
{
    QCOMPARE(hexLower(std::string("\x00\x0F\xA5\xFF", 4)), std::string("000fa5ff"));
    QCOMPARE(hexLower(std::string()), std::string());

    QCOMPARE(scrambledDigest("abc"), std::string("40014c6df05d24fd787df4f990b9c4f5"));
    QCOMPARE(scrambledDigest("abc").size(), std::size_t(32));

    QCOMPARE(hashText(L""), 0);
    QCOMPARE(hashText(L"A"), 65);
    QCOMPARE(hashText(L"中"), 0x4E2D);
    QCOMPARE(hashText(L"ab"), 97 * 131 + 98);
    // Wraps modulo 2^32 and reads as a signed value.
    QCOMPARE(hashText(L"Vornix 压缩"), -21675214);
    // A character beyond the first plane counts as its UTF-16 surrogate pair.
    QCOMPARE(hashText(L"\U0001F600"), 0xD83D * 131 + 0xDE00);

    QCOMPARE(byteSum(0xFFFFFFFFu), 1020);
    QCOMPARE(byteSum(0u), 0);
    QCOMPARE(byteSum(0x01020304u), 10);
}

QTEST_GUILESS_MAIN(DigestsTest)
#include "tst_digests.moc"
