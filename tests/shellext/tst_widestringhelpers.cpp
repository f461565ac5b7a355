#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "WideStringHelpers.h"

// The extension's path helpers, with the separator of this system ('/' where Windows has '\').
class WideStringHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void endsWith_data();
    void endsWith();
    void pathParts_data();
    void pathParts();
    void directories();
};

void WideStringHelpersTest::endsWith_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("result");
    QTest::newRow("case ignored") << "/v/Clip.MP4"
                                  << ".mp4" << true;
    QTest::newRow("equal texts") << ".pdf"
                                 << ".pdf" << false;
    QTest::newRow("shorter text") << "df"
                                  << ".pdf" << false;
    QTest::newRow("other suffix") << "report.pdf.txt"
                                  << ".pdf" << false;
    QTest::newRow("only A-Z fold") << QString::fromUtf8("x.ÄB") << QString::fromUtf8(".äb") << false;
}

void WideStringHelpersTest::endsWith()
{
    QFETCH(QString, text);
    QFETCH(QString, suffix);
    QFETCH(bool, result);
    QCOMPARE(endsWithNoCase(text.toStdWString(), suffix.toStdWString()), result);
}

void WideStringHelpersTest::pathParts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("withoutExtension");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("parentName");
    QTest::newRow("file") << "/a/b/c.tar.gz"
                          << "/a/b/c.tar"
                          << "c.tar"
                          << "/a/b"
                          << "b";
    QTest::newRow("dot in a folder") << "/a.d/file"
                                     << "/a"
                                     << "/a.d/file"
                                     << "/a.d"
                                     << "/a.d/file";
    QTest::newRow("no separator") << "name.txt"
                                  << "name"
                                  << "name"
                                  << ""
                                  << "name.txt";
    QTest::newRow("leading dot is never a separator") << ".profile"
                                                      << ".profile"
                                                      << ".profile"
                                                      << ""
                                                      << ".profile";
    QTest::newRow("leading separator is never taken") << "/top"
                                                      << "/top"
                                                      << "/top"
                                                      << ""
                                                      << "/top";
}

void WideStringHelpersTest::pathParts()
{
    QFETCH(QString, path);
    QFETCH(QString, withoutExtension);
    QFETCH(QString, title);
    QFETCH(QString, parent);
    QFETCH(QString, parentName);
    const std::wstring wide = path.toStdWString();
    QCOMPARE(QString::fromStdWString(removeExtension(wide)), withoutExtension);
    QCOMPARE(QString::fromStdWString(fileTitle(wide)), title);
    QCOMPARE(QString::fromStdWString(parentPath(wide)), parent);
    QCOMPARE(QString::fromStdWString(parentFolderName(wide)), parentName);
}

void WideStringHelpersTest::directories()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(dir.path() + "/holiday.mov"));
    QFile file(dir.path() + QString::fromUtf8("/视频.mp4"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(isDirectory((dir.path() + "/holiday.mov").toStdWString()));
    QVERIFY(!isDirectory(file.fileName().toStdWString()));
    QVERIFY(!isDirectory((dir.path() + "/missing").toStdWString()));
}

QTEST_GUILESS_MAIN(WideStringHelpersTest)
#include "tst_widestringhelpers.moc"
