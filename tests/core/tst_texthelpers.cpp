#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include <QtTest>

#include "Base64.h"
#include "CommandLine.h"
#include "TextCompare.h"
#include "TextEdit.h"
#include "TextFormat.h"
#include "UrlCoding.h"
#include "Win32Api.h"

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)

// Formatting, number texts, comparison, editing, URL and base64 coding and command-line splitting.
class TextHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void formatting();
    void numberTexts();
    void textToNumbers();
    void comparison();
    void replaceAllRule();
    void trimming();
    void splittingAndJoining();
    void urlCoding_data();
    void urlCoding();
    void base64_data();
    void base64();
    void base64AllBytes();
    void splitCommandLine_data();
    void splitCommandLine();
    void splitCommandLineEveryShortLine();
    void floatComparison();
};

static std::string raw(const char* text, std::size_t length)
{
    return std::string(text, length);
}

void TextHelpersTest::formatting()
{
    QCOMPARE(formatString("%d-%s-%05.1f", 42, "x", 2.25), std::string("42-x-002.2"));
    QCOMPARE(formatString("%s", ""), std::string());
    const std::string longText(5000, 'q');
    QCOMPARE(formatString("<%s>", longText.c_str()), "<" + longText + ">");
    // The result ends at the first zero byte of the printed text.
    QCOMPARE(formatString("ab%cd", 0), std::string("ab"));

    QVERIFY(formatWString(L"%d %ls", 7, L"中文") == L"7 中文");
    const std::wstring longWide(5000, L'字');
    QVERIFY(formatWString(L"[%ls]", longWide.c_str()) == L"[" + longWide + L"]");
}

void TextHelpersTest::numberTexts()
{
    QCOMPARE(toString(static_cast<unsigned char>(255)), std::string("255"));
    QCOMPARE(toString(-5), std::string("-5"));
    QCOMPARE(toString(1099511627776LL), std::string("1099511627776"));
    QCOMPARE(toString(1.5f), std::string("1.500000"));
    QCOMPARE(toString(2.9), std::string("2.900000"));
    QCOMPARE(toString("abc"), std::string("abc"));
    QCOMPARE(toString(static_cast<const char*>(nullptr)), std::string());

    QVERIFY(toWString(static_cast<unsigned char>(7)) == L"7");
    QVERIFY(toWString(-12) == L"-12");
    QVERIFY(toWString(-1099511627776LL) == L"-1099511627776");
    QVERIFY(toWString(0.25f) == L"0.250000");
    // The wide form of a double is the whole number towards zero.
    QVERIFY(toWString(2.9) == L"2");
    QVERIFY(toWString(-2.9) == L"-2");
    // Out of the 64-bit range: the range's end, not an undefined conversion.
    QVERIFY(toWString(1e300) == L"9223372036854775807");
    QVERIFY(toWString(std::nan("")) == L"0");
    QVERIFY(toWString(L"中") == L"中");
}

void TextHelpersTest::textToNumbers()
{
    QCOMPARE(toInt(std::string("12abc")), 12);
    QCOMPARE(toInt(std::string("  -34")), -34);
    QCOMPARE(toInt(std::string("abc")), 0);
    QCOMPARE(toInt(std::string("99999999999")), INT_MAX);
    QCOMPARE(toInt(std::string("-99999999999")), INT_MIN);
    QCOMPARE(toInt(std::wstring(L"56x")), 56);
    QCOMPARE(toInt64(std::string("1099511627776")), 1099511627776LL);
    QCOMPARE(toInt64(std::wstring(L" -7")), -7LL);
    QCOMPARE(toInt64(std::string("x1")), 0LL);
    QCOMPARE(toFloat(std::string("2.5x")), 2.5f);
    QCOMPARE(toFloat(std::wstring(L"-0.125")), -0.125f);
    QCOMPARE(toFloat(std::string("none")), 0.0f);
    QVERIFY(std::isinf(toFloat(std::string("1e300"))));
}

void TextHelpersTest::comparison()
{
    QCOMPARE(toLower(std::string("AbC-1")), std::string("abc-1"));
    QCOMPARE(toUpper(std::string("AbC-1")), std::string("ABC-1"));
    QVERIFY(toUpper(std::wstring(L"path.pdf")) == L"PATH.PDF");

    QVERIFY(compareText(std::string("abc"), std::string("ABD"), true) < 0);
    QVERIFY(compareText(std::string("abc"), std::string("ABC"), false) > 0);
    QCOMPARE(compareText(std::string("abc"), std::string("ABC"), true), 0);
    // Without case the upper-case forms are compared: '_' (0x5F) sorts after 'A' (0x41).
    QVERIFY(compareText(std::string("_"), std::string("a"), true) > 0);
    QVERIFY(compareText(std::string("_"), std::string("a"), false) < 0);
    QCOMPARE(compareText(std::wstring(L"Ab"), std::wstring(L"aB"), true), 0);

    QCOMPARE(compareTextN(std::string("abc"), std::string("ab"), 3, false), -1);
    QCOMPARE(compareTextN(std::string("abcX"), std::string("ABcY"), 3, true), 0);
    QVERIFY(compareTextN(std::string("abcX"), std::string("ABcY"), 3, false) > 0);
    QCOMPARE(compareTextN(std::wstring(L"ab"), std::wstring(L"abc"), 2, false), 0);

    QCOMPARE(findText(std::string("Hello World"), std::string("WORLD"), true), 6);
    QCOMPARE(findText(std::string("Hello World"), std::string("WORLD"), false), -1);
    QCOMPARE(findText(std::string("abc"), std::string(), false), 0);
    QCOMPARE(findText(std::wstring(L"压缩失败"), std::wstring(L"失败"), false), 2);

    QVERIFY(endsWith(std::string("Report.PDF"), std::string(".pdf")));
    QVERIFY(endsWith(std::string(".pdf"), std::string(".pdf")));
    QVERIFY(!endsWith(std::string("pdf"), std::string(".pdf")));
    QVERIFY(!endsWith(std::string("a.pdf.doc"), std::string(".pdf")));
    QVERIFY(endsWith(std::wstring(L"图.PNG"), std::wstring(L".png")));
}

void TextHelpersTest::replaceAllRule()
{
    std::string text = "aaa";
    const std::string result = replaceAll(text, "a", "aa");
    QCOMPARE(result, std::string("aaaaaa"));
    QCOMPARE(text, std::string("aaaaaa"));

    std::string dotted = "a.b.c.";
    QCOMPARE(replaceAll(dotted, ".", ""), std::string("abc"));

    // An empty search text finds nothing to replace.
    std::string unchanged = "abc";
    QCOMPARE(replaceAll(unchanged, "", "x"), std::string("abc"));
    QCOMPARE(unchanged, std::string("abc"));

    std::wstring wide = L"x-y-z";
    QVERIFY(replaceAll(wide, L"-", L"--") == L"x--y--z");
    std::wstring wideEmpty = L"abc";
    QVERIFY(replaceAll(wideEmpty, L"", L"x") == L"abc");
}

void TextHelpersTest::trimming()
{
    std::string both = "  a b  ";
    trim(both);
    QCOMPARE(both, std::string("a b"));
    std::string left = "  a ";
    trimLeft(left);
    QCOMPARE(left, std::string("a "));
    std::string right = "\ta \n ";
    trimRight(right);
    QCOMPARE(right, std::string("\ta \n"));
    std::string blanks = "   ";
    trim(blanks);
    QCOMPARE(blanks, std::string());
    std::string empty;
    trim(empty);
    QCOMPARE(empty, std::string());
    std::wstring wide = L"  中 ";
    trim(wide);
    QVERIFY(wide == L"中");
}

void TextHelpersTest::splittingAndJoining()
{
    QCOMPARE(splitText(std::string("a,,b,"), ','), (std::vector<std::string>{"a", "", "b"}));
    QCOMPARE(splitText(std::string(), ','), std::vector<std::string>());
    QCOMPARE(splitText(std::string("abc"), ','), (std::vector<std::string>{"abc"}));
    QVERIFY(splitText(std::wstring(L"甲;乙"), L';') == (std::vector<std::wstring>{L"甲", L"乙"}));

    QCOMPARE(splitRegex(std::string("a1b22c"), std::string("[0-9]+")),
             (std::vector<std::string>{"a", "b", "c"}));
    QCOMPARE(splitRegex(std::string("one, two,three"), std::string(",\\s*")),
             (std::vector<std::string>{"one", "two", "three"}));
    // A pattern that does not compile splits nothing and throws nothing.
    QCOMPARE(splitRegex(std::string("a(b"), std::string("(")), std::vector<std::string>());
    QVERIFY(splitRegex(std::wstring(L"x--y"), std::wstring(L"-+")) ==
            (std::vector<std::wstring>{L"x", L"y"}));

    QCOMPARE(joinText(std::vector<std::string>{"a", "", "b"}, ';'), std::string("a;;b"));
    QCOMPARE(joinText(std::vector<std::string>{}, ';'), std::string());
    QCOMPARE(joinText(std::vector<std::string>{"only"}, ';'), std::string("only"));
    QVERIFY(joinText(std::vector<std::wstring>{L"甲", L"乙"}, L'/') == L"甲/乙");
}

void TextHelpersTest::urlCoding_data()
{
    QTest::addColumn<std::string>("plain");
    QTest::addColumn<std::string>("encoded");
    QTest::addColumn<std::string>("decoded");

    // plain -> urlEncode -> encoded; encoded -> urlDecode -> decoded
    QTest::newRow("blank, slash and UTF-8")
        << std::string("a b/\xC3\xBC") << std::string("a%20b%2F%C3%BC") << std::string("a b/\xC3\xBC");
    QTest::newRow("existing escape passes")
        << std::string("100%25") << std::string("100%25") << std::string("100%");
    QTest::newRow("unreserved characters")
        << std::string("Az09-_.~") << std::string("Az09-_.~") << std::string("Az09-_.~");
    QTest::newRow("'%' at the end") << std::string("50%") << std::string("50%") << std::string("50%");
    QTest::newRow("'%' and one digit at the end")
        << std::string("x%4") << std::string("x%4") << std::string("x%4");
    QTest::newRow("'%' before non-hex") << std::string("%zz") << std::string("%zz") << std::string("%zz");
    QTest::newRow("'%' before a blank") << std::string("% a") << std::string("%%20a") << std::string("% a");
    QTest::newRow("'%' before half a number")
        << std::string("%4g") << std::string("%4g") << std::string("%4g");
    QTest::newRow("zero byte") << raw("a\0b", 3) << std::string("a%00b") << raw("a\0b", 3);
}

void TextHelpersTest::urlCoding()
{
    QFETCH(std::string, plain);
    QFETCH(std::string, encoded);
    QFETCH(std::string, decoded);
    QCOMPARE(urlEncode(plain), encoded);
    QCOMPARE(urlDecode(encoded), decoded);
}

void TextHelpersTest::base64_data()
{
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<std::string>("text");

    QTest::newRow("three bytes") << std::string("abc") << std::string("YWJj");
    QTest::newRow("two bytes") << std::string("ab") << std::string("YWI=");
    QTest::newRow("one byte") << std::string("a") << std::string("YQ==");
    QTest::newRow("empty") << std::string() << std::string();
    QTest::newRow("RFC 4648 foobar") << std::string("foobar") << std::string("Zm9vYmFy");
    QTest::newRow("high bytes") << raw("\xFB\xFF\x00", 3) << std::string("+/8A");
}

void TextHelpersTest::base64()
{
    QFETCH(std::string, bytes);
    QFETCH(std::string, text);
    QCOMPARE(base64Encode(bytes), text);
    QCOMPARE(base64Decode(text), bytes);
}

void TextHelpersTest::base64AllBytes()
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (std::size_t length = 0; length <= all.size(); ++length)
        QCOMPARE(base64Decode(base64Encode(all.substr(0, length))), all.substr(0, length));

    // Decoding stops at a blank, at the first '=' and at any byte outside the alphabet.
    QCOMPARE(base64Decode("YW I="), std::string("a"));
    QCOMPARE(base64Decode("YQ==YWJj"), std::string("a"));
    QCOMPARE(base64Decode("YWJj\xE9YWJj"), std::string("abc"));
    QCOMPARE(base64Decode("Y"), std::string());
    QVERIFY(!isBase64Char('\xE9'));
    QVERIFY(!isBase64Char('='));
    QVERIFY(isBase64Char('+') && isBase64Char('/') && isBase64Char('z') && isBase64Char('0'));
}

void TextHelpersTest::splitCommandLine_data()
{
    QTest::addColumn<std::string>("line");
    QTest::addColumn<std::vector<std::string>>("arguments");

    QTest::newRow("quoted run joins") << std::string("a \"b c\"d") << std::vector<std::string>{"a", "b cd"};
    QTest::newRow("quote in the middle") << std::string("ab\"c d\"e") << std::vector<std::string>{"abc de"};
    QTest::newRow("empty quoted run") << std::string("\"\" x") << std::vector<std::string>{"", "x"};
    QTest::newRow("tabs and line ends")
        << std::string("a\tb\nc\r") << std::vector<std::string>{"a", "b", "c"};
    QTest::newRow("backslash is plain")
        << std::string("C:\\a\\\"b c\"") << std::vector<std::string>{"C:\\a\\b c"};
    QTest::newRow("unclosed quote") << std::string("x \"y z") << std::vector<std::string>{"x", "y z"};
    QTest::newRow("only blanks") << std::string("   ") << std::vector<std::string>{};
    QTest::newRow("empty") << std::string() << std::vector<std::string>{};
    QTest::newRow("one-character arguments")
        << std::string("a b c d e") << std::vector<std::string>{"a", "b", "c", "d", "e"};
}

void TextHelpersTest::splitCommandLine()
{
    QFETCH(std::string, line);
    QFETCH(std::vector<std::string>, arguments);
    int count = -1;
    char** table = ::splitCommandLine(line, &count);
    QVERIFY(table);
    QCOMPARE(count, static_cast<int>(arguments.size()));
    for (int i = 0; i < count; ++i)
        QCOMPARE(std::string(table[i]), arguments[static_cast<std::size_t>(i)]);
    QVERIFY(table[count] == nullptr);
    QVERIFY(Win32Api::GlobalFree(table) == nullptr);
}

// Every line of up to seven characters from a, blank and quote: the table must hold every argument
// in its block (the sanitizer build checks that nothing is written past it).
void TextHelpersTest::splitCommandLineEveryShortLine()
{
    const char alphabet[] = {'a', ' ', '"'};
    for (int length = 0; length <= 7; ++length) {
        int combinations = 1;
        for (int i = 0; i < length; ++i)
            combinations *= 3;
        for (int n = 0; n < combinations; ++n) {
            std::string line;
            for (int i = 0, v = n; i < length; ++i, v /= 3)
                line += alphabet[v % 3];
            int count = -1;
            char** table = ::splitCommandLine(line, &count);
            QVERIFY(table);
            QVERIFY(count >= 0 && count <= (length + 1) / 2);
            std::size_t letters = 0;
            for (int i = 0; i < count; ++i)
                letters += std::string(table[i]).size();
            QVERIFY(table[count] == nullptr);
            Win32Api::GlobalFree(table);
            QVERIFY(letters <= static_cast<std::size_t>(std::count(line.begin(), line.end(), 'a') +
                                                        std::count(line.begin(), line.end(), ' ')));
        }
    }
}

void TextHelpersTest::floatComparison()
{
    QVERIFY(floatEquals(0.1f + 0.2f, 0.3f, 1e-6f));
    QVERIFY(!floatEquals(1.0f, 1.1f, 0.05f));
    QVERIFY(floatEquals(1.25f, 1.0f, 0.3f));
    QVERIFY(!floatEquals(1.0f, 1.0f, 0.0f));
}

QTEST_GUILESS_MAIN(TextHelpersTest)
#include "tst_texthelpers.moc"
