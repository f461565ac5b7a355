#include <stdexcept>
#include <string>

#include <QtTest>

#include "TextConversion.h"

// GBK, UTF-8 and wide text converted into each other, and the refusal of text that is not valid.
class TextConversionTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTrips_data();
    void roundTrips();
    void invalidTextThrows_data();
    void invalidTextThrows();
    void isUtf8_data();
    void isUtf8();
};

static std::string bytes(const QByteArray& hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return std::string(raw.constData(), static_cast<std::size_t>(raw.size()));
}

void TextConversionTest::roundTrips_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("gbkHex");
    QTest::addColumn<QByteArray>("utf8Hex");

    QTest::newRow("two characters") << QString::fromUtf8("中文") << QByteArray("d6d0cec4")
                                    << QByteArray("e4b8ade69687");
    QTest::newRow("failure text") << QString::fromUtf8("压缩失败") << QByteArray("d1b9cbf5caa7b0dc")
                                  << QByteArray("e58e8be7bca9e5a4b1e8b4a5");
    QTest::newRow("mixed with ASCII")
        << QString::fromUtf8("a已完成.pdf") << QByteArray("61d2d1cdeab3c92e706466")
        << QByteArray("61e5b7b2e5ae8ce688902e706466");
    QTest::newRow("empty") << QString() << QByteArray() << QByteArray();
}

void TextConversionTest::roundTrips()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, gbkHex);
    QFETCH(QByteArray, utf8Hex);
    const std::wstring wide = text.toStdWString();
    const std::string gbk = bytes(gbkHex);
    const std::string utf8 = bytes(utf8Hex);

    QCOMPARE(wideToGbk(wide), gbk);
    QVERIFY(gbkToWide(gbk) == wide);
    QCOMPARE(wideToUtf8(wide), utf8);
    QVERIFY(utf8ToWide(utf8) == wide);
    QCOMPARE(gbkToUtf8(gbk), utf8);
    QCOMPARE(utf8ToGbk(utf8), gbk);
}

void TextConversionTest::invalidTextThrows_data()
{
    QTest::addColumn<int>("conversion");
    QTest::addColumn<QByteArray>("hex");

    // conversion: 0 GBK to wide, 1 UTF-8 to wide, 2 UTF-8 to GBK, 3 GBK to UTF-8
    QTest::newRow("GBK: bytes outside the code page") << 0 << QByteArray("ffff");
    QTest::newRow("GBK: lead byte cut off at the end") << 0 << QByteArray("61d6");
    QTest::newRow("UTF-8: bad continuation byte") << 1 << QByteArray("c328");
    QTest::newRow("UTF-8: sequence cut off at the end") << 1 << QByteArray("6162c3");
    QTest::newRow("UTF-8: lone continuation byte") << 1 << QByteArray("80");
    QTest::newRow("UTF-8 to GBK: emoji has no GBK code") << 2 << QByteArray("f09f9880");
    QTest::newRow("GBK to UTF-8: invalid GBK") << 3 << QByteArray("81");
}

void TextConversionTest::invalidTextThrows()
{
    QFETCH(int, conversion);
    QFETCH(QByteArray, hex);
    const std::string input = bytes(hex);
    try {
        switch (conversion) {
        case 0:
            gbkToWide(input);
            break;
        case 1:
            utf8ToWide(input);
            break;
        case 2:
            utf8ToGbk(input);
            break;
        default:
            gbkToUtf8(input);
            break;
        }
        QFAIL("no std::range_error");
    } catch (const std::range_error& error) {
        QCOMPARE(QString(error.what()), QString("bad conversion"));
    }
}

void TextConversionTest::isUtf8_data()
{
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<bool>("valid");

    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ASCII") << QByteArray("48656c6c6f") << true;
    QTest::newRow("two-byte character") << QByteArray("c3a9") << true;
    QTest::newRow("lead byte alone") << QByteArray("c3") << false;
    QTest::newRow("continuation byte alone") << QByteArray("80") << false;
    QTest::newRow("Chinese") << QByteArray("e4b8ade69687") << true;
    QTest::newRow("four-byte character") << QByteArray("f09f9880") << true;
    QTest::newRow("ASCII where a continuation is due") << QByteArray("e4b841") << false;
    QTest::newRow("GBK bytes") << QByteArray("d6d0cec4") << false;
    QTest::newRow("0xF8 with its four") << QByteArray("f880808080") << true;
    QTest::newRow("0xFC with four of its five") << QByteArray("fc80808080") << false;
    QTest::newRow("0xFC with its five") << QByteArray("fc8080808080") << true;
    QTest::newRow("0xFF counts four") << QByteArray("ff80808080") << true;
}

void TextConversionTest::isUtf8()
{
    QFETCH(QByteArray, hex);
    QFETCH(bool, valid);
    QCOMPARE(::isUtf8(bytes(hex)), valid);
}

QTEST_GUILESS_MAIN(TextConversionTest)
#include "tst_textconversion.moc"
