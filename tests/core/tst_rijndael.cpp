#include <cstring>
#include <string>
#include <vector>

#include <QtTest>

#include "CRijndael.h"
#include "CipherHelpers.h"
#include "TextCipher.h"

// The Rijndael cipher against FIPS 197 and SP 800-38A, its larger blocks, its chaining modes, and
// the hexadecimal, padding and text-encryption helpers around it.
class RijndaelTest : public QObject
{
    Q_OBJECT

private slots:
    void fips197KnownAnswers_data();
    void fips197KnownAnswers();
    void largerBlocks_data();
    void largerBlocks();
    void chainingModes_data();
    void chainingModes();
    void chainCarriesOverCalls();
    void roundTripEveryShape();
    void partialBlockIsLeftAlone();
    void invalidLengthsLeaveNoKey();
    void hexHelpers();
    void padding();
    void encryptToHexKnownAnswers();
    void encryptToHexAnyLength();
    void aesTextKnownAnswers();
    void aesTextRoundTrip();
    void aesTextRefusals();
};

static std::vector<unsigned char> bytes(const QByteArray& hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return std::vector<unsigned char>(raw.begin(), raw.end());
}

static QByteArray hex(const std::vector<unsigned char>& data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size())).toHex();
}

static std::vector<unsigned char> counting(std::size_t length, int factor = 1)
{
    std::vector<unsigned char> data(length);
    for (std::size_t i = 0; i < length; ++i)
        data[i] = static_cast<unsigned char>((i * static_cast<std::size_t>(factor)) & 0xFF);
    return data;
}

void RijndaelTest::fips197KnownAnswers_data()
{
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<QByteArray>("cipher");

    // Appendix C: plaintext 00112233...ff, key 000102... of the given length.
    QTest::newRow("AES-128") << 16 << QByteArray("69c4e0d86a7b0430d8cdb78070b4c55a");
    QTest::newRow("AES-192") << 24 << QByteArray("dda97ca4864cdfe06eaf70a0ec0d7191");
    QTest::newRow("AES-256") << 32 << QByteArray("8ea2b7ca516745bfeafc49904b496089");
}

void RijndaelTest::fips197KnownAnswers()
{
    QFETCH(int, keyLength);
    QFETCH(QByteArray, cipher);
    const std::vector<unsigned char> plain = bytes("00112233445566778899aabbccddeeff");
    const std::vector<unsigned char> key = counting(static_cast<std::size_t>(keyLength));
    CRijndael aes;
    aes.setKey(key.data(), nullptr, keyLength, 16);
    std::vector<unsigned char> out(16);
    aes.encryptBlock(plain.data(), out.data());
    QCOMPARE(hex(out), cipher);
    std::vector<unsigned char> back(16);
    aes.decryptBlock(out.data(), back.data());
    QCOMPARE(hex(back), hex(plain));
}

void RijndaelTest::largerBlocks_data()
{
    QTest::addColumn<int>("keyLength");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<QByteArray>("cipher");

    // Key 000102..., plaintext 00 11 22 ... (i * 0x11): values of a byte-wise reference model of
    // the published algorithm (6 columns shift rows by 1, 2, 3; 8 columns by 1, 3, 4).
    QTest::newRow("key 16, block 24")
        << 16 << 24 << QByteArray("e64018d211d8349b350f38893d7d23899fece7a9aca7c6ba");
    QTest::newRow("key 16, block 32")
        << 16 << 32 << QByteArray("98c6f98ba9631b91c34f431e0887c561b6ac44c985cecd38dbc4cb30b9170d2f");
    QTest::newRow("key 24, block 24")
        << 24 << 24 << QByteArray("78be2d48f76d71da6966f3a175fb71ad66b70b2076c3cf1d");
    QTest::newRow("key 24, block 32")
        << 24 << 32 << QByteArray("3c386395e910345a59a7dd165dcbda604bf072f0a03a6b0055a79b734e668868");
    QTest::newRow("key 32, block 24")
        << 32 << 24 << QByteArray("65d851df8d04b5cbb510935fdd1eb17b33efb8cb255ee712");
    QTest::newRow("key 32, block 32")
        << 32 << 32 << QByteArray("288fa9d23d00d9dc0a39b33fa92867c6488b5e0f18a6f74c072078ec815462e6");
}

void RijndaelTest::largerBlocks()
{
    QFETCH(int, keyLength);
    QFETCH(int, blockSize);
    QFETCH(QByteArray, cipher);
    const std::vector<unsigned char> key = counting(static_cast<std::size_t>(keyLength));
    const std::vector<unsigned char> plain = counting(static_cast<std::size_t>(blockSize), 0x11);
    CRijndael rijndael;
    rijndael.setKey(key.data(), nullptr, keyLength, blockSize);
    std::vector<unsigned char> out(static_cast<std::size_t>(blockSize));
    rijndael.encryptBlock(plain.data(), out.data());
    QCOMPARE(hex(out), cipher);
    std::vector<unsigned char> back(out.size());
    rijndael.decryptBlock(out.data(), back.data());
    QCOMPARE(hex(back), hex(plain));
}

void RijndaelTest::chainingModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("cipher");

    // SP 800-38A F.2.1, F.2.5 and F.3.13: four blocks, chain 000102...0f.
    QTest::newRow("CBC AES-128") << int(CRijndael::CBC) << QByteArray("2b7e151628aed2a6abf7158809cf4f3c")
                                 << QByteArray(
                                        "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                                        "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");
    QTest::newRow("CBC AES-256") << int(CRijndael::CBC)
                                 << QByteArray(
                                        "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4")
                                 << QByteArray(
                                        "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                                        "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
    QTest::newRow("CFB AES-128") << int(CRijndael::CFB) << QByteArray("2b7e151628aed2a6abf7158809cf4f3c")
                                 << QByteArray(
                                        "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
                                        "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6");
}

static const QByteArray kSp80038aPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                         "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";

void RijndaelTest::chainingModes()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, cipher);
    const std::vector<unsigned char> keyBytes = bytes(key);
    const std::vector<unsigned char> chain = counting(16);
    const std::vector<unsigned char> plain = bytes(kSp80038aPlain);

    CRijndael encrypter;
    encrypter.setKey(keyBytes.data(), chain.data(), static_cast<int>(keyBytes.size()), 16);
    std::vector<unsigned char> out(plain.size());
    encrypter.encryptBuffer(plain.data(), out.data(), out.size(), mode);
    QCOMPARE(hex(out), cipher);

    CRijndael decrypter;
    decrypter.setKey(keyBytes.data(), chain.data(), static_cast<int>(keyBytes.size()), 16);
    std::vector<unsigned char> back(out.size());
    decrypter.decryptBuffer(out.data(), back.data(), back.size(), mode);
    QCOMPARE(hex(back), hex(plain));

    // In place, with the same buffer for input and output.
    std::vector<unsigned char> inPlace = out;
    decrypter.setKey(keyBytes.data(), chain.data(), static_cast<int>(keyBytes.size()), 16);
    decrypter.decryptBuffer(inPlace.data(), inPlace.data(), inPlace.size(), mode);
    QCOMPARE(hex(inPlace), hex(plain));
}

void RijndaelTest::chainCarriesOverCalls()
{
    const std::vector<unsigned char> key = bytes("2b7e151628aed2a6abf7158809cf4f3c");
    const std::vector<unsigned char> chain = counting(16);
    const std::vector<unsigned char> plain = bytes(kSp80038aPlain);

    CRijndael whole;
    whole.setKey(key.data(), chain.data(), 16, 16);
    std::vector<unsigned char> together(32);
    whole.encryptBuffer(plain.data(), together.data(), 32, CRijndael::CBC);

    CRijndael stepwise;
    stepwise.setKey(key.data(), chain.data(), 16, 16);
    std::vector<unsigned char> apart(32);
    stepwise.encryptBuffer(plain.data(), apart.data(), 16, CRijndael::CBC);
    stepwise.encryptBuffer(plain.data() + 16, apart.data() + 16, 16, CRijndael::CBC);
    QCOMPARE(hex(apart), hex(together));

    CRijndael fresh;
    fresh.setKey(key.data(), chain.data(), 16, 16);
    std::vector<unsigned char> alone(16);
    fresh.encryptBuffer(plain.data() + 16, alone.data(), 16, CRijndael::CBC);
    QVERIFY(hex(alone) != hex(std::vector<unsigned char>(together.begin() + 16, together.end())));

    // setKey starts the chain again.
    stepwise.setKey(key.data(), chain.data(), 16, 16);
    std::vector<unsigned char> again(32);
    stepwise.encryptBuffer(plain.data(), again.data(), 32, CRijndael::CBC);
    QCOMPARE(hex(again), hex(together));
}

void RijndaelTest::roundTripEveryShape()
{
    for (const int keyLength : {16, 24, 32}) {
        for (const int blockSize : {16, 24, 32}) {
            for (const int mode : {CRijndael::ECB, CRijndael::CBC, CRijndael::CFB, 7}) {
                const std::vector<unsigned char> key = counting(static_cast<std::size_t>(keyLength), 3);
                const std::vector<unsigned char> chain = counting(static_cast<std::size_t>(blockSize), 5);
                const std::vector<unsigned char> plain = counting(static_cast<std::size_t>(blockSize) * 3, 7);
                CRijndael cipher;
                cipher.setKey(key.data(), chain.data(), keyLength, blockSize);
                std::vector<unsigned char> out(plain.size());
                cipher.encryptBuffer(plain.data(), out.data(), out.size(), mode);
                QVERIFY(out != plain);
                cipher.setKey(key.data(), chain.data(), keyLength, blockSize);
                std::vector<unsigned char> back(out.size());
                cipher.decryptBuffer(out.data(), back.data(), back.size(), mode);
                QVERIFY2(
                    back == plain,
                    qPrintable(QString("key %1, block %2, mode %3").arg(keyLength).arg(blockSize).arg(mode)));
            }
        }
    }
}

void RijndaelTest::partialBlockIsLeftAlone()
{
    const std::vector<unsigned char> key = counting(16);
    const std::vector<unsigned char> plain = counting(20, 9);
    CRijndael cipher;
    cipher.setKey(key.data(), nullptr, 16, 16);
    std::vector<unsigned char> out(20, 0xAA);
    cipher.encryptBuffer(plain.data(), out.data(), 20, CRijndael::ECB);
    QCOMPARE(hex(std::vector<unsigned char>(out.begin() + 16, out.end())), QByteArray("aaaaaaaa"));
    std::vector<unsigned char> firstBlock(16);
    cipher.encryptBlock(plain.data(), firstBlock.data());
    QCOMPARE(hex(std::vector<unsigned char>(out.begin(), out.begin() + 16)), hex(firstBlock));
}

void RijndaelTest::invalidLengthsLeaveNoKey()
{
    const std::vector<unsigned char> key = counting(32);
    const std::vector<unsigned char> plain = counting(32);
    for (const auto& lengths : {std::pair<int, int>{20, 16}, {16, 20}, {0, 16}, {64, 64}}) {
        CRijndael cipher;
        cipher.setKey(key.data(), nullptr, lengths.first, lengths.second);
        std::vector<unsigned char> out(32, 0x55);
        cipher.encryptBuffer(plain.data(), out.data(), out.size(), CRijndael::CBC);
        cipher.encryptBlock(plain.data(), out.data());
        cipher.decryptBlock(plain.data(), out.data());
        QCOMPARE(out, std::vector<unsigned char>(32, 0x55));
    }
    CRijndael unkeyed;
    std::vector<unsigned char> out(16, 0x55);
    unkeyed.decryptBuffer(plain.data(), out.data(), 16, CRijndael::ECB);
    QCOMPARE(out, std::vector<unsigned char>(16, 0x55));
}

void RijndaelTest::hexHelpers()
{
    char pair[3] = {'x', 'x', 'x'};
    byteToHex(0xAB, pair);
    QCOMPARE(QByteArray(pair), QByteArray("AB"));
    byteToHex(0x05, pair);
    QCOMPARE(QByteArray(pair), QByteArray("05"));

    unsigned char byte = 0xEE;
    hexToByte("7F", byte);
    QCOMPARE(int(byte), 0x7F);
    hexToByte("7f", byte); // the parse stops at the lower-case letter
    QCOMPARE(int(byte), 7);
    hexToByte("G1", byte);
    QCOMPARE(int(byte), 0);
    hexToByte("A", byte); // the zero byte after one digit stops it too
    QCOMPARE(int(byte), 10);

    const std::vector<unsigned char> data = bytes("00017f80abff");
    std::string text = "old";
    bytesToHex(data.data(), text, data.size());
    QCOMPARE(text, std::string("00017F80ABFF"));
    std::vector<unsigned char> back(data.size(), 0x33);
    hexToBytes(text, back.data(), back.size());
    QCOMPARE(back, data);
    // Bytes the text has no characters for are 0.
    std::vector<unsigned char> longer(4, 0x33);
    hexToBytes("ABCD", longer.data(), longer.size());
    QCOMPARE(hex(longer), QByteArray("abcd0000"));
}

void RijndaelTest::padding()
{
    QCOMPARE(padBlock("abc"), std::string("abc") + std::string(13, '\x0D'));
    QCOMPARE(padBlock(std::string(16, 'x')), std::string(16, 'x') + std::string(16, '\x10'));
    QCOMPARE(padBlock(std::string()), std::string(16, '\x10'));
    QCOMPARE(padBlock(std::string("ab\0cd", 5)), std::string("ab") + std::string(14, '\x0E'));
}

void RijndaelTest::encryptToHexKnownAnswers()
{
    // AES-192 in CBC mode with the built-in key and chain, PKCS#7 padding.
    std::string output;
    encryptToHex("Vornex", output);
    QCOMPARE(output, std::string("DED223985C345DBEB132AB7944632F97"));
    encryptToHex("0123456789abcdef", output);
    QCOMPARE(output, std::string("D916CD91E3C3BF7EFAD0E9A7E630807A24D7D6D36BEEEEB8EF743D1FEF94ACA5"));
    // The text ends at its first zero byte.
    std::string cut;
    encryptToHex(std::string("Vornex\0tail", 11), cut);
    QCOMPARE(cut, std::string("DED223985C345DBEB132AB7944632F97"));

    CRijndael cipher;
    setFixedKey(cipher);
    const std::string padded = padBlock("Vornex");
    std::vector<unsigned char> out(16);
    cipher.encryptBuffer(reinterpret_cast<const unsigned char*>(padded.data()), out.data(), 16,
                         CRijndael::CBC);
    QCOMPARE(hex(out).toUpper(), QByteArray("DED223985C345DBEB132AB7944632F97"));
}

void RijndaelTest::encryptToHexAnyLength()
{
    std::string output;
    encryptToHex(std::string(15, 'a'), output);
    QCOMPARE(output.size(), std::size_t(32));
    encryptToHex(std::string(16, 'a'), output);
    QCOMPARE(output.size(), std::size_t(64));
    encryptToHex(std::string(), output);
    QCOMPARE(output.size(), std::size_t(32));
    // Longer than the 143 bytes a fixed work buffer would hold.
    encryptToHex(std::string(200, 'x'), output);
    QCOMPARE(
        output,
        std::string("9C59AAE4040E1E262B299CB5A38A4FC50A6525FE1A7350B5AAE9EF6B1456915BA90BB43CEC563791FE2F8B7B"
                    "106094E15E805B8CDCAA6422513A64765251152485E50A0CF4A43DA2372B86B873C1DA0026D66FE9433F49"
                    "C27F82D437054D0A660148CE87F8706E994DD91275934258ADEAEEFDA497EE07F999AD22F643228DD780F0"
                    "79EAFC3DBC63D6A3C311D1D5CA5211A52387E7B799C5C354105961F78EA2274E165981D75ACE62CCE2A728"
                    "DD87866F77B8DC9B7280B776AF42B5D637B30F5E620FC4EB7DAD65089B02C1C1FFE6C1"));
    encryptToHex(std::string(4000, 'y'), output);
    QCOMPARE(output.size(), std::size_t((4000 / 16 + 1) * 32));
}

void RijndaelTest::aesTextKnownAnswers()
{
    // AES-256-ECB with PKCS#7 padding; the key "secret" is filled up with '0' characters to 32 bytes.
    QCOMPARE(aesEncryptText("Hello, Vornex!", "secret"), std::string("JIJ5B19hoRmeH1m/8m4I5g=="));
    QCOMPARE(aesEncryptText("", "secret"), std::string("SdfQel8ArjPIXa0Y9gjq5Q=="));
    // A key text longer than 32 bytes is cut at 32.
    QCOMPARE(aesEncryptText("0123456789abcdef", "abcdefghijklmnopqrstuvwxyz0123456789"),
             std::string("DBSM+//dHiK4gXz9Bf8hUIRDie4tUo1rMGrzdQrVFio="));
    QCOMPARE(aesEncryptText(std::string(16, 'z'), "k").size(), std::size_t(44));
    QCOMPARE(aesDecryptText("JIJ5B19hoRmeH1m/8m4I5g==", "secret"), std::string("Hello, Vornex!"));
}

void RijndaelTest::aesTextRoundTrip()
{
    const std::vector<std::string> texts = {"",
                                            "a",
                                            std::string(15, 'b'),
                                            std::string(16, 'c'),
                                            std::string(33, 'd'),
                                            std::string("zero\0byte", 9),
                                            "\xE4\xB8\xAD\xE6\x96\x87"};
    for (const std::string& text : texts) {
        for (const char* key :
             {"", "k", "0123456789abcdef0123456789abcdef", "a key longer than thirty-two bytes"}) {
            const std::string cipher = aesEncryptText(text, key);
            QCOMPARE(cipher.size(), ((text.size() / 16 + 1) * 16 + 2) / 3 * 4);
            QCOMPARE(aesDecryptText(cipher, key), text);
        }
        if (!text.empty())
            QVERIFY(aesDecryptText(aesEncryptText(text, "right"), "wrong") != text);
    }
}

void RijndaelTest::aesTextRefusals()
{
    QCOMPARE(aesDecryptText("", "k"), std::string());
    // Three bytes: not a whole block.
    QCOMPARE(aesDecryptText("YWJj", "k"), std::string());
    // Nothing decodable.
    QCOMPARE(aesDecryptText("====", "k"), std::string());
}

QTEST_GUILESS_MAIN(RijndaelTest)
#include "tst_rijndael.moc"
