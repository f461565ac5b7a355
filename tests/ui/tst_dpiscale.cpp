#include <QFile>
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
    void pixelsRoundFontsTruncate();
    void styleSheetFontSizes_data();
    void styleSheetFontSizes();
    void styleSheetUnchangedAtOne();
    void readStyleSheetScalesUtf8();
};

void TestDpiScale::factorSteps_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<float>("factor");
    QTest::newRow("96") << 96.0 << 1.0f;
    QTest::newRow("105.6 falls above 1.1 as float") << 105.6 << 1.25f;
    QTest::newRow("120") << 120.0 << 1.25f;
    QTest::newRow("134.4") << 134.4 << 1.25f;
    QTest::newRow("144") << 144.0 << 1.5f;
    QTest::newRow("168") << 168.0 << 1.75f;
    QTest::newRow("172.8") << 172.8 << 1.75f;
    QTest::newRow("192") << 192.0 << 2.0f;
    QTest::newRow("288") << 288.0 << 2.0f;
}

void TestDpiScale::factorSteps()
{
    QFETCH(double, dpi);
    QFETCH(float, factor);
    QCOMPARE(dpiScaleFor(dpi), factor);
}

void TestDpiScale::pixelsRoundFontsTruncate()
{
    dpiScale = 1.25f;
    QCOMPARE(scalePixels(110), 138); // 137.5 rounds up
    QCOMPARE(scaleFontSize(13), 16); // 16.25 truncates
    dpiScale = 1.75f;
    QCOMPARE(scalePixels(3), 5);
    QCOMPARE(scaleFontSize(15), 26);
}

void TestDpiScale::styleSheetFontSizes_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1.25") << 1.25f << "a{font-size: 32px;}b{font-size: 20px;}c{font-size: 15px;}d{font-size: 11px;}";
    QTest::newRow("1.5") << 1.5f << "a{font-size: 39px;}b{font-size: 24px;}c{font-size: 18px;}d{font-size: 11px;}";
    QTest::newRow("2.0") << 2.0f << "a{font-size: 52px;}b{font-size: 32px;}c{font-size: 24px;}d{font-size: 11px;}";
}

void TestDpiScale::styleSheetFontSizes()
{
    QFETCH(float, factor);
    QFETCH(QString, expected);
    dpiScale = factor;
    QString css = "a{font-size: 26px;}b{font-size: 16px;}c{font-size: 12px;}d{font-size: 11px;}";
    scaleStyleSheet(css);
    QCOMPARE(css, expected);
}

void TestDpiScale::styleSheetUnchangedAtOne()
{
    QString css = "a{font-size: 26px;}";
    scaleStyleSheet(css);
    QCOMPARE(css, QString("a{font-size: 26px;}"));
}

void TestDpiScale::readStyleSheetScalesUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/sheet.css";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromUtf8("/* 标题 */\r\nQLabel{font-size: 14px;}").toUtf8());
    file.close();
    dpiScale = 1.5f;
    QCOMPARE(readStyleSheet(path), QString::fromUtf8("/* 标题 */\r\nQLabel{font-size: 21px;}"));
    QCOMPARE(readStyleSheet(dir.path() + "/missing.css"), QString());
}

QTEST_MAIN(TestDpiScale)
#include "tst_dpiscale.moc"
