#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <json/reader.h>

#include "AccountNotices.h"
#include "CGlobal.h"
#include "JsonQt.h"
#include "PlatformConstants.h"
#include "QCommonMethod.h"
#include "QHttpClient.h"
#include "QMorProduct.h"
#include "QUser.h"
#include "QUserHelp.h"
#include "QValue.h"
#include "TestEnv.h"
#include "UrlRecorder.h"
#include "WinRegistry.h"

namespace
{
// The notices the account library shows, "headline|body", while it lives.
class NoticeRecorder
{
public:
    NoticeRecorder()
    {
        AccountNotices::setHandler(
            [this](const QString& headline, const QString& body) { m_notices << headline + "|" + body; });
    }
    ~NoticeRecorder() { AccountNotices::setHandler(nullptr); }
    QStringList notices() const { return m_notices; }

private:
    QStringList m_notices;
};
} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void toolsOnPathServeWhenNoneIsBesideTheProgram();
    void ownToolsLieInTheApplicationFolder();
    void tempFolderIsPerUserAndOverridable();
    void registryHasNoKeysHere();
    void webLinksOpenNothingAndSaySo_data();
    void webLinksOpenNothingAndSaySo();
    void aboutNoticeNamesTheRegisteredProduct();
    void updateCheckSpeaksOnlyWhenAsked();
    void nobodyEverSignsIn();
    void noticesWithoutAHandlerGoToTheDebugOutput();
    void startUpAndShutDownHooks();
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

void TestPlatform::webLinksOpenNothingAndSaySo_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("body");
    QTest::newRow("tutorial") << "tutorial" << QString::fromUtf8("此版本不带使用教程网页，无法打开。");
    QTest::newRow("home") << "home" << QString::fromUtf8("此版本不带产品官网链接，无法打开。");
    QTest::newRow("chatwithus") << "chatwithus" << QString::fromUtf8("此版本没有在线客服，无法连接。");
    QTest::newRow("any other") << "forum" << QString::fromUtf8("此版本无法打开该网页。");
}

void TestPlatform::webLinksOpenNothingAndSaySo()
{
    QFETCH(QString, key);
    QFETCH(QString, body);
    // This build has no web pages: the user is told why, and no link reaches the desktop.
    UrlRecorder https("https");
    UrlRecorder http("http");
    NoticeRecorder recorder;
    QCOMPARE(QCommonMethod::openUrl(key, ""), false);
    QCOMPARE(recorder.notices(), QStringList(QString::fromUtf8("无法打开网页|") + body));
    QVERIFY(https.urls().isEmpty());
    QVERIFY(http.urls().isEmpty());
}

void TestPlatform::aboutNoticeNamesTheRegisteredProduct()
{
    NoticeRecorder recorder;
    QUserHelp help(nullptr);
    QUser::Instance()->setProduct(QMorProduct(11, "vornix_win", "Vornex", "2.0.0.4"));
    help.showAboutDialog();
    QUser::Instance()->setProduct(QMorProduct(11, "other_win", "Other", "9.1"));
    help.showAboutDialog();
    // Without a display name the program's own name stands in.
    QUser::Instance()->setProduct(QMorProduct(11, "vornix_win", "", "2.0.0.5"));
    help.showAboutDialog();
    QCOMPARE(recorder.notices(), QStringList({QString::fromUtf8("关于我们|Vornex\n版本：2.0.0.4"),
                                              QString::fromUtf8("关于我们|Other\n版本：9.1"),
                                              QString::fromUtf8("关于我们|Vornex\n版本：2.0.0.5")}));
    QCOMPARE(QUserHelp::aboutText(), QString::fromUtf8("Vornex\n版本：2.0.0.5"));
}

void TestPlatform::updateCheckSpeaksOnlyWhenAsked()
{
    NoticeRecorder recorder;
    QUserHelp help(nullptr);
    help.checkUpdate(false); // a check at start-up, silent
    QCOMPARE(recorder.notices(), QStringList());
    help.checkUpdate(true);
    QCOMPARE(recorder.notices(), QStringList(QString::fromUtf8("检查更新|此版本不能在线检查更新。")));
}

void TestPlatform::nobodyEverSignsIn()
{
    NoticeRecorder recorder;
    QUserHelp help(nullptr);
    QSignalSpy names(&help, &QUserHelp::signal_login);
    QSignalSpy avatars(&help, &QUserHelp::signal_avatar);
    QSignalSpy logouts(&help, &QUserHelp::signal_logout);
    QUser::Instance()->init();
    QUser::Instance()->online();
    QVERIFY(!QUser::Instance()->isLoggedIn());
    QCOMPARE(help.preLogin(), false);
    // Nothing is shown before the user asks; the login says why there is none.
    help.showRecommendWidget(nullptr);
    QCOMPARE(recorder.notices(), QStringList());
    help.login();
    QCOMPARE(recorder.notices(), QStringList(QString::fromUtf8("登录|此版本没有用户账号，无法登录。")));
    QVERIFY(!QUser::Instance()->isLoggedIn());
    QCoreApplication::processEvents();
    QCOMPARE(names.count() + avatars.count() + logouts.count(), 0);
}

void TestPlatform::noticesWithoutAHandlerGoToTheDebugOutput()
{
    AccountNotices::setHandler(nullptr);
    QTest::ignoreMessage(QtInfoMsg,
                         qPrintable(QString::fromUtf8("无法打开网页 此版本不带产品官网链接，无法打开。")));
    QCOMPARE(QCommonMethod::openUrl("home", ""), false);
}

void TestPlatform::startUpAndShutDownHooks()
{
    // The calls of start-up, then those after the event loop, in their order.
    CGlobal::init();
    QVERIFY(CGlobal::isInitialised());
    QHttpClient::Instance()->start(3);
    QVERIFY(QHttpClient::Instance()->isRunning());
    CGlobal::setAppTitle("Vornex");
    QCOMPARE(CGlobal::appTitle(), QString("Vornex"));
    QHttpClient::Instance()->close();
    QVERIFY(!QHttpClient::Instance()->isRunning());
    CGlobal::release();
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
