#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

#include <json/reader.h>

#include "CGlobal.h"
#include "JsonQt.h"
#include "PlatformConstants.h"
#include "QHttpClient.h"
#include "QMorProduct.h"
#include "QUser.h"
#include "QUserHelp.h"
#include "QValue.h"
#include "TestEnv.h"
#include "WinRegistry.h"

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void toolsOnPathServeWhenNoneIsBesideTheProgram();
    void ownToolsLieInTheApplicationFolder();
    void tempFolderIsPerUserAndOverridable();
    void registryHasNoKeysHere();
    void accountLibraryKeepsProductAndState();
    void jsonConveniencesRoundTripUnicode();
    void valueTravelsInAVariant();
};

void TestPlatform::toolsOnPathServeWhenNoneIsBesideTheProgram()
{
    VX_REQUIRE_TOOL("ffmpeg");
    VX_REQUIRE_TOOL("pngquant");
    QCOMPARE(PlatformConstants::ffmpegPath(), QStandardPaths::findExecutable("ffmpeg"));
    QCOMPARE(PlatformConstants::pngquantPath(), QStandardPaths::findExecutable("pngquant"));
    QCOMPARE(PlatformConstants::convertProgram(), QString("convert"));
    QCOMPARE(PlatformConstants::gifsicleProgram(), QString("gifsicle"));
}

void TestPlatform::ownToolsLieInTheApplicationFolder()
{
    const QString folder = QCoreApplication::applicationDirPath();
    QCOMPARE(PlatformConstants::docToolPath(false), folder + "/docTool/Trellant35");
    QCOMPARE(PlatformConstants::docToolPath(true), folder + "/docTool/Trellant40");
    QVERIFY(QFileInfo(PlatformConstants::docToolPath(false)).isExecutable());
    QVERIFY(QFileInfo(PlatformConstants::docToolPath(true)).isExecutable());
    QCOMPARE(PlatformConstants::compressionToolPath(), folder + "/tool/Squimble");
}

void TestPlatform::tempFolderIsPerUserAndOverridable()
{
    const QByteArray saved = qgetenv("VX_TEMP_DIR");
    qunsetenv("VX_TEMP_DIR");
    const QString folder = PlatformConstants::tempFolder();
    QVERIFY(folder.endsWith("/VxTemp/"));
    QVERIFY2(!folder.startsWith("/tmp/"), qPrintable(folder));
    QVERIFY(folder.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)));
    qputenv("VX_TEMP_DIR", "/some/where");
    QCOMPARE(PlatformConstants::tempFolder(), QString("/some/where/"));
    if (saved.isEmpty())
        qunsetenv("VX_TEMP_DIR");
    else
        qputenv("VX_TEMP_DIR", saved);
}

void TestPlatform::registryHasNoKeysHere()
{
    WinRegistry registry(PlatformConstants::kDotNet4SetupKey);
    QVERIFY(registry.allKeys().isEmpty());
    QVERIFY(!registry.value("Release").isValid());
}

void TestPlatform::accountLibraryKeepsProductAndState()
{
    CGlobal::init();
    QVERIFY(CGlobal::isInitialised());
    CGlobal::setAppTitle("Vornex");
    QCOMPARE(CGlobal::appTitle(), QString("Vornex"));
    QHttpClient::Instance()->start(3);
    QVERIFY(QHttpClient::Instance()->isRunning());
    QUser::Instance()->setProduct(QMorProduct(11, "vornix_win", "Vornex", "2.0.0.4"));
    QCOMPARE(QUser::Instance()->product().appType(), 11);
    QCOMPARE(QUser::Instance()->product().productId(), QString("vornix_win"));
    QVERIFY(!QUser::Instance()->isLoggedIn());
    QVERIFY(QUserHelp::aboutText().contains("Vornex"));
    QVERIFY(QUserHelp::aboutText().contains("2.0.0.4"));
    QHttpClient::Instance()->close();
    CGlobal::release();
    QVERIFY(!QHttpClient::Instance()->isRunning());
    QVERIFY(!CGlobal::isInitialised());
}

void TestPlatform::jsonConveniencesRoundTripUnicode()
{
    const QString path = QString::fromUtf8("D:/视频/第 1 集.mp4");
    Json::Value entry(Json::objectValue);
    JsonQt::at(entry, "inFilePath") = JsonQt::fromQString(path);
    QVERIFY(JsonQt::contains(entry, "inFilePath"));
    QVERIFY(!JsonQt::contains(entry, "outFilePath"));
    QCOMPARE(JsonQt::asQString(JsonQt::at(entry, "inFilePath")), path);
    QCOMPARE(JsonQt::asQString(Json::Value(Json::nullValue)), QString());
    QCOMPARE(JsonQt::asQString(Json::Value(42)), QString("42"));
    QCOMPARE(JsonQt::asQString(Json::Value(Json::arrayValue)), QString());
}

void TestPlatform::valueTravelsInAVariant()
{
    Json::Value json(Json::arrayValue);
    json.append("a");
    const QVariant variant = QVariant::fromValue(QValue(json));
    QCOMPARE(variant.value<QValue>().json().size(), 1u);
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
