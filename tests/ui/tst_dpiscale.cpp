#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "DpiScale.h"

class TestDpiScale : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { dpiScale = 1.0f; }
    void factorSteps_data();
    void factorSteps();
    void factorOfThisScreen();
    void pixels_data();
    void pixels();
    void fontSizes_data();
    void fontSizes();
    void styleSheetEveryListedSize_data();
    void styleSheetEveryListedSize();
    void styleSheetNoDoubleRewrite();
    void styleSheetOtherFormsUntouched();
    void styleSheetUnchangedAtOne();
    void replaceEveryOccurrence();
    void readStyleSheetScalesUtf8();
};

void TestDpiScale::factorSteps_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<float>("factor");
    QTest::newRow("0") << 0.0 << 1.0f;
    QTest::newRow("96") << 96.0 << 1.0f;
    QTest::newRow("100.04 (Xvfb)") << 100.04 << 1.0f;
    QTest::newRow("105") << 105.0 << 1.0f;
    QTest::newRow("105.6 is 1.1, above it as float") << 105.6 << 1.25f;
    QTest::newRow("106") << 106.0 << 1.25f;
    QTest::newRow("120") << 120.0 << 1.25f;
    QTest::newRow("134") << 134.0 << 1.25f;
    QTest::newRow("134.4 is 1.4, below it as float") << 134.4 << 1.25f;
    QTest::newRow("135") << 135.0 << 1.5f;
    QTest::newRow("144") << 144.0 << 1.5f;
    QTest::newRow("153") << 153.0 << 1.5f;
    QTest::newRow("153.6 is 1.6, above it as float") << 153.6 << 1.75f;
    QTest::newRow("154") << 154.0 << 1.75f;
    QTest::newRow("168") << 168.0 << 1.75f;
    QTest::newRow("172") << 172.0 << 1.75f;
    QTest::newRow("172.8 is 1.8, below it as float") << 172.8 << 1.75f;
    QTest::newRow("173") << 173.0 << 2.0f;
    QTest::newRow("192") << 192.0 << 2.0f;
    QTest::newRow("300") << 300.0 << 2.0f;
}

void TestDpiScale::factorSteps()
{
    QFETCH(double, dpi);
    QFETCH(float, factor);
    QCOMPARE(dpiScaleFor(dpi), factor);
}

void TestDpiScale::factorOfThisScreen()
{
    QVERIFY(!QGuiApplication::screens().isEmpty());
    dpiScale = 3.0f;
    initDpiScale();
    QCOMPARE(dpiScale, dpiScaleFor(QGuiApplication::screens().first()->logicalDotsPerInch()));
}

void TestDpiScale::pixels_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<int>("px");
    QTest::addColumn<int>("scaled");
    QTest::newRow("1.0 786") << 1.0f << 786 << 786;
    QTest::newRow("1.25 0") << 1.25f << 0 << 0;
    QTest::newRow("1.25 50 (62.5 up)") << 1.25f << 50 << 63;
    QTest::newRow("1.25 110 (137.5 up)") << 1.25f << 110 << 138;
    QTest::newRow("1.25 786 (982.5 up)") << 1.25f << 786 << 983;
    QTest::newRow("1.25 1044") << 1.25f << 1044 << 1305;
    QTest::newRow("1.25 287 (358.75)") << 1.25f << 287 << 359;
    QTest::newRow("1.25 5 (6.25)") << 1.25f << 5 << 6;
    QTest::newRow("1.5 3 (4.5 up)") << 1.5f << 3 << 5;
    QTest::newRow("1.75 3 (5.25)") << 1.75f << 3 << 5;
    QTest::newRow("2.0 16777215") << 2.0f << 16777215 << 33554430;
}

void TestDpiScale::pixels()
{
    QFETCH(float, factor);
    QFETCH(int, px);
    QFETCH(int, scaled);
    dpiScale = factor;
    QCOMPARE(scalePixels(px), scaled);
}

void TestDpiScale::fontSizes_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<int>("px");
    QTest::addColumn<int>("scaled");
    QTest::newRow("1.25 18 (22.5 down)") << 1.25f << 18 << 22;
    QTest::newRow("1.25 13 (16.25 down)") << 1.25f << 13 << 16;
    QTest::newRow("1.75 15 (26.25 down)") << 1.75f << 15 << 26;
    QTest::newRow("1.5 15 (22.5 down)") << 1.5f << 15 << 22;
}

void TestDpiScale::fontSizes()
{
    QFETCH(float, factor);
    QFETCH(int, px);
    QFETCH(int, scaled);
    dpiScale = factor;
    QCOMPARE(scaleFontSize(px), scaled);
}

namespace
{
const int kListed[] = {26, 24, 22, 20, 18, 16, 15, 14, 13, 12};

QString sheetOf(const QList<int>& sizes)
{
    QString css;
    for (int i = 0; i < sizes.size(); ++i)
        css += QString("#w%1{font-size: %2px;}\n").arg(i).arg(sizes[i]);
    return css;
}
} // namespace

void TestDpiScale::styleSheetEveryListedSize_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<QList<int>>("scaled");
    // The sizes the rewrite writes for 26, 24, 22, 20, 18, 16, 15, 14, 13, 12.
    QTest::newRow("1.25") << 1.25f << QList<int>{32, 30, 27, 25, 22, 20, 18, 17, 16, 15};
    QTest::newRow("1.5") << 1.5f << QList<int>{39, 36, 33, 30, 27, 24, 22, 21, 19, 18};
    QTest::newRow("1.75") << 1.75f << QList<int>{45, 42, 38, 35, 31, 28, 26, 24, 22, 21};
    QTest::newRow("2.0") << 2.0f << QList<int>{52, 48, 44, 40, 36, 32, 30, 28, 26, 24};
}

void TestDpiScale::styleSheetEveryListedSize()
{
    QFETCH(float, factor);
    QFETCH(QList<int>, scaled);
    dpiScale = factor;
    QList<int> sizes(std::begin(kListed), std::end(kListed));
    // Unlisted sizes, the progress bar's 10px among them, stay as written.
    sizes << 10 << 11 << 17 << 19 << 21 << 23 << 25;
    scaled << 10 << 11 << 17 << 19 << 21 << 23 << 25;
    QString css = sheetOf(sizes);
    scaleStyleSheet(css);
    QCOMPARE(css, sheetOf(scaled));
}

void TestDpiScale::styleSheetNoDoubleRewrite()
{
    dpiScale = 2.0f;
    QString css = "a{font-size: 13px;}b{font-size: 26px;}c{font-size: 12px;}d{font-size: 24px;}";
    scaleStyleSheet(css);
    QCOMPARE(css, QString("a{font-size: 26px;}b{font-size: 52px;}c{font-size: 24px;}d{font-size: 48px;}"));

    dpiScale = 1.5f;
    css = "x{font-size: 16px;} y{font-size: 24px;} z{font-size: 16px;}";
    scaleStyleSheet(css);
    QCOMPARE(css, QString("x{font-size: 24px;} y{font-size: 36px;} z{font-size: 24px;}"));
}

void TestDpiScale::styleSheetOtherFormsUntouched()
{
    dpiScale = 1.5f;
    const QString untouched = "a{font-size:14px;}b{font-size: 14 px;}c{font-size: 14px}d{FONT-SIZE: 14px;}"
                              "e{font-size:  14px;}f{font-size: 10px;}g{font-size: 114px;}";
    QString css = untouched + "h{font-size: 14px;}";
    scaleStyleSheet(css);
    QCOMPARE(css, untouched + "h{font-size: 21px;}");
}

void TestDpiScale::styleSheetUnchangedAtOne()
{
    const QString original = QString::fromUtf8("/* 字体 */ a{font-size: 26px;} b{font-size: 14px;}");
    QString css = original;
    scaleStyleSheet(css);
    QCOMPARE(css, original);
}

void TestDpiScale::replaceEveryOccurrence()
{
    QString text = "aXbXXc";
    replaceWhileFound(text, "X", "Y");
    QCOMPARE(text, QString("aYbYYc"));
    // A text that the replacement recreates is replaced again, from the start.
    text = "aab";
    replaceWhileFound(text, "ab", "b");
    QCOMPARE(text, QString("b"));
    // A replacement holding the search text ends after one pass instead of looping for ever.
    text = "aXb";
    replaceWhileFound(text, "X", "XX");
    QCOMPARE(text, QString("aXXb"));
    text = "abc";
    replaceWhileFound(text, "", "z");
    QCOMPARE(text, QString("abc"));
}

void TestDpiScale::readStyleSheetScalesUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/sheet.css";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromUtf8("/* 标题 */\r\nQLabel{font-size: 14px;}\r\n").toUtf8());
    file.close();
    dpiScale = 1.5f;
    // Line ends stay as they are: the file is read without text-mode translation.
    QCOMPARE(readStyleSheet(path), QString::fromUtf8("/* 标题 */\r\nQLabel{font-size: 21px;}\r\n"));
    dpiScale = 1.0f;
    QCOMPARE(readStyleSheet(path), QString::fromUtf8("/* 标题 */\r\nQLabel{font-size: 14px;}\r\n"));
    QCOMPARE(readStyleSheet(dir.path() + "/missing.css"), QString());
    QVERIFY(readStyleSheet(dir.path() + "/missing.css").isEmpty());
}

QTEST_MAIN(TestDpiScale)
#include "tst_dpiscale.moc"
