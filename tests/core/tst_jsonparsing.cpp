#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include <json/reader.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextCodec>
#include <QtTest>

#include "HistoryWriter.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "Tool.h"

namespace
{
QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

Json::Value parsedFile(const QString& path)
{
    Json::Value root;
    Json::Reader reader;
    reader.parse(QString::fromLocal8Bit(fileBytes(path)).toStdString(), root, true);
    return root;
}

const char* const kKeys[] = {"video", "image", "ppt", "pdf", "word"};
} // namespace

class JsonParsingTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void initHistory_createsFiveEmptyArrays();
    void initHistory_keepsExistingFile();
    void addHistory_appendsToItsKindOnly_data();
    void addHistory_appendsToItsKindOnly();
    void addHistory_unknownKindKeepsContent();
    void addHistory_missingFile();
    void addHistory_leavesUnusableFileUntouched_data();
    void addHistory_leavesUnusableFileUntouched();
    void readHistory_entriesInOrder();
    void readHistory_missingFileAndUnknownKind();
    void clearHistory_emptiesOneKind();
    void clearHistory_leavesUnreadableFileUntouched_data();
    void clearHistory_leavesUnreadableFileUntouched();
    void history_nonAsciiPathsRoundTrip_data();
    void history_nonAsciiPathsRoundTrip();
    void history_readsFileInLocalCodePage();
    void history_interruptedWriteKeepsOldFile();
    void history_twoProgramsAddingAtOnceLoseNothing();
    void history_entryTheFileCannotTakeIsLogged_data();
    void history_entryTheFileCannotTakeIsLogged();

    void parseMediaInfo_readsAllFields();
    void parseMediaInfo_cases_data();
    void parseMediaInfo_cases();

private:
    std::unique_ptr<TestFolder> m_dir;
};

void JsonParsingTest::init()
{
    // A second program, started by history_twoProgramsAddingAtOnceLoseNothing, adds its entries to
    // the history of the folder it is given and ends.
    const QString shared = qEnvironmentVariable("VX_HISTORY_CHILD");
    if (!shared.isEmpty()) {
        QDir::setCurrent(shared);
        g_AppDataPath = shared + "/appdata";
        bool added = true;
        for (int i = 0; i < 200; ++i)
            added = JsonParsing::addHistory(Kind::Image, "2026-12-09",
                                            QString("/p%1/%2.png").arg(getpid()).arg(i),
                                            QString("/p%1/c_%2.jpg").arg(getpid()).arg(i)) &&
                    added;
        std::exit(added ? 0 : 1);
    }
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
}

void JsonParsingTest::cleanup()
{
    QTextCodec::setCodecForLocale(nullptr);
    m_dir.reset();
}

void JsonParsingTest::initHistory_createsFiveEmptyArrays()
{
    QVERIFY(!QFile::exists("history.json"));
    QVERIFY(JsonParsing::initHistory());

    const Json::Value root = parsedFile("history.json");
    QVERIFY(root.isObject());
    QCOMPARE(int(root.size()), 5);
    for (const char* key : kKeys) {
        QVERIFY2(root[key].isArray(), key);
        QCOMPARE(int(root[key].size()), 0);
    }
    // The styled writer keeps the library's key order.
    const QByteArray text = fileBytes("history.json");
    QVERIFY(text.indexOf("\"image\"") < text.indexOf("\"pdf\""));
    QVERIFY(text.indexOf("\"pdf\"") < text.indexOf("\"ppt\""));
    QVERIFY(text.indexOf("\"ppt\"") < text.indexOf("\"video\""));
    QVERIFY(text.indexOf("\"video\"") < text.indexOf("\"word\""));
}

void JsonParsingTest::initHistory_keepsExistingFile()
{
    const QByteArray existing = "{ \"video\" : [ { \"date\" : \"2026-01-02\" } ] }\n";
    writeBytes("history.json", existing);
    QVERIFY(JsonParsing::initHistory());
    QCOMPARE(fileBytes("history.json"), existing);
}

void JsonParsingTest::addHistory_appendsToItsKindOnly_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("key");
    QTest::newRow("video") << int(Kind::Video) << "video";
    QTest::newRow("image") << int(Kind::Image) << "image";
    QTest::newRow("ppt") << int(Kind::PowerPoint) << "ppt";
    QTest::newRow("pdf") << int(Kind::Pdf) << "pdf";
    QTest::newRow("word") << int(Kind::Word) << "word";
}

void JsonParsingTest::addHistory_appendsToItsKindOnly()
{
    QFETCH(int, kind);
    QFETCH(QString, key);
    QVERIFY(JsonParsing::initHistory());
    QVERIFY(JsonParsing::addHistory(kind, "2026-12-01", "/in/first.mp4", "/out/c_first.mp4"));
    QVERIFY(JsonParsing::addHistory(kind, "2026-12-02", "/in/second.mp4", "/out/c_second.mp4"));

    const Json::Value root = parsedFile("history.json");
    for (const char* other : kKeys) {
        QVERIFY2(root[other].isArray(), other);
        QCOMPARE(int(root[other].size()), key == other ? 2 : 0);
    }
    const QList<QStringList> entries = JsonParsing::readHistory(kind, "history.json");
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0), (QStringList{"2026-12-01", "/in/first.mp4", "/out/c_first.mp4"}));
    QCOMPARE(entries.at(1), (QStringList{"2026-12-02", "/in/second.mp4", "/out/c_second.mp4"}));
}

void JsonParsingTest::addHistory_unknownKindKeepsContent()
{
    QVERIFY(JsonParsing::initHistory());
    QVERIFY(JsonParsing::addHistory(Kind::Image, "2026-12-01", "/a.png", "/c_a.png"));
    const Json::Value before = parsedFile("history.json");
    QVERIFY(JsonParsing::addHistory(7, "2026-12-02", "/b.png", "/c_b.png"));
    QVERIFY(parsedFile("history.json") == before);
}

void JsonParsingTest::addHistory_missingFile()
{
    QVERIFY(!JsonParsing::addHistory(Kind::Video, "2026-12-01", "/a.mp4", "/c_a.mp4"));
    QVERIFY(!QFile::exists("history.json"));
    QCOMPARE(TestEnv::logLines(), QStringList());
}

void JsonParsingTest::addHistory_leavesUnusableFileUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("malformed") << QByteArray("{ \"video\" : [ { \"date\" : \"2026-");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("array root") << QByteArray("[ 1, 2 ]\n");
    QTest::newRow("kind not an array") << QByteArray("{ \"video\" : 5, \"image\" : [] }\n");
}

void JsonParsingTest::addHistory_leavesUnusableFileUntouched()
{
    QFETCH(QByteArray, content);
    writeBytes("history.json", content);
    QVERIFY(!JsonParsing::addHistory(Kind::Video, "2026-12-01", "/a.mp4", "/c_a.mp4"));
    QCOMPARE(fileBytes("history.json"), content);
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{"history.json"});
}

void JsonParsingTest::readHistory_entriesInOrder()
{
    writeBytes(
        "history.json",
        "{ \"pdf\" : [\n"
        "  { \"date\" : \"2026-12-01\", \"inFilePath\" : \"/a.pdf\", \"outFilePath\" : \"/c_a.pdf\" },\n"
        "  { \"date\" : \"2026-12-02\", \"inFilePath\" : \"/b.pdf\" },\n"
        "  17\n"
        "], \"video\" : [] }\n");
    const QList<QStringList> entries = JsonParsing::readHistory(Kind::Pdf, "history.json");
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(0), (QStringList{"2026-12-01", "/a.pdf", "/c_a.pdf"}));
    QCOMPARE(entries.at(1), (QStringList{"2026-12-02", "/b.pdf", ""}));
    QCOMPARE(entries.at(2), (QStringList{"", "", ""}));
    QVERIFY(JsonParsing::readHistory(Kind::Video, "history.json").isEmpty());
    QVERIFY(JsonParsing::readHistory(Kind::Word, "history.json").isEmpty()); // no "word" member
    QCOMPARE(TestEnv::logLines(), QStringList());
}

void JsonParsingTest::readHistory_missingFileAndUnknownKind()
{
    QVERIFY(JsonParsing::readHistory(Kind::Video, "history.json").isEmpty());
    QCOMPARE(
        TestEnv::logLines(),
        (QStringList{"parsing history json fail: can not open file",
                     "parsing history json fail: * Line 1, Column 1 Syntax error: value, object or array "
                     "expected."}));

    QVERIFY(JsonParsing::initHistory());
    QVERIFY(JsonParsing::addHistory(Kind::Video, "2026-12-01", "/a.mp4", "/c_a.mp4"));
    QVERIFY(JsonParsing::readHistory(5, "history.json").isEmpty());
    QVERIFY(JsonParsing::readHistory(-1, "history.json").isEmpty());
}

void JsonParsingTest::clearHistory_emptiesOneKind()
{
    QVERIFY(JsonParsing::initHistory());
    for (int kind = 0; kind < Kind::Count; ++kind)
        QVERIFY(JsonParsing::addHistory(kind, "2026-12-01", QString("/in%1").arg(kind),
                                        QString("/out%1").arg(kind)));

    JsonParsing::clearHistory("history.json", Kind::Video);
    QVERIFY(JsonParsing::readHistory(Kind::Video, "history.json").isEmpty());
    QVERIFY(HistoryWriter::instance().flush());
    const Json::Value root = parsedFile("history.json");
    QVERIFY(root["video"].isArray());
    for (int kind = Kind::Image; kind < Kind::Count; ++kind) {
        const QList<QStringList> entries = JsonParsing::readHistory(kind, "history.json");
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.at(0).at(1), QString("/in%1").arg(kind));
    }
    // An unknown kind rewrites the same content.
    JsonParsing::clearHistory("history.json", 9);
    QVERIFY(HistoryWriter::instance().flush());
    QVERIFY(parsedFile("history.json") == root);
    QCOMPARE(TestEnv::logLines(), QStringList());
}

void JsonParsingTest::clearHistory_leavesUnreadableFileUntouched_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("missing") << false << QByteArray()
                             << QStringList{
                                    "parsing history json fail: can not open file",
                                    "parsing history json fail: * Line 1, Column 1 Syntax error: value, "
                                    "object or array expected."};
    // The reader keeps the part it understood ("video": [1]); writing that back would drop "image".
    QTest::newRow("malformed") << true << QByteArray("{ \"video\" : [ 1, \"image\" : [ 2 ] }")
                               << QStringList{
                                      "parsing history json fail: * Line 1, Column 26 Missing ',' or ']' "
                                      "in array declaration"};
    QTest::newRow("array root") << true << QByteArray("[ 1 ]")
                                << QStringList{"parsing history json fail: not a history object"};
}

void JsonParsingTest::clearHistory_leavesUnreadableFileUntouched()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, log);
    if (exists)
        writeBytes("history.json", content);
    JsonParsing::clearHistory("history.json", 1);
    QVERIFY(HistoryWriter::instance().flush());
    QCOMPARE(QFile::exists("history.json"), exists);
    if (exists)
        QCOMPARE(fileBytes("history.json"), content);
    QCOMPARE(TestEnv::logLines(), log);
}

void JsonParsingTest::history_nonAsciiPathsRoundTrip_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<QString>("path");
    QTest::newRow("utf-8, chinese") << QByteArray("UTF-8") << QString::fromUtf8("/视频/我的 假期.mp4");
    QTest::newRow("gbk, chinese") << QByteArray("GBK") << QString::fromUtf8("/视频/我的 假期.mp4");
    // Neither character is in GBK; the writer's \u escapes carry them all the same.
    QTest::newRow("gbk, outside the code page")
        << QByteArray("GBK") << QString::fromUtf8("/clips/한국 😀.mov");
}

void JsonParsingTest::history_nonAsciiPathsRoundTrip()
{
    QFETCH(QByteArray, codec);
    QFETCH(QString, path);
    QTextCodec* local = QTextCodec::codecForName(codec);
    QVERIFY(local);
    QTextCodec::setCodecForLocale(local);

    QVERIFY(JsonParsing::initHistory());
    const QString out = QFileInfo(path).path() + "/c_" + QFileInfo(path).fileName();
    QVERIFY(JsonParsing::addHistory(Kind::Video, "2026-12-08", path, out));
    QVERIFY(JsonParsing::addHistory(Kind::Video, "2026-12-08", path, out));
    JsonParsing::clearHistory("history.json", 1);
    QVERIFY(HistoryWriter::instance().flush());

    const QList<QStringList> entries = JsonParsing::readHistory(Kind::Video, "history.json");
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0), (QStringList{"2026-12-08", path, out}));
    QCOMPARE(entries.at(1), (QStringList{"2026-12-08", path, out}));
    QCOMPARE(TestEnv::logLines(), QStringList());
}

void JsonParsingTest::history_readsFileInLocalCodePage()
{
    // A file that holds the characters themselves in the local code page (as written on a Chinese
    // system) reads back as the same text.
    QTextCodec* gbk = QTextCodec::codecForName("GBK");
    QVERIFY(gbk);
    QTextCodec::setCodecForLocale(gbk);
    const QString path = QString::fromUtf8("D:/视频/假期.mp4");
    writeBytes("history.json",
               gbk->fromUnicode("{ \"video\" : [ { \"date\" : \"2026-12-08\", \"inFilePath\" : \"" + path +
                                "\", \"outFilePath\" : \"x\" } ] }"));
    QVERIFY(JsonParsing::addHistory(Kind::Video, "2026-12-09", path, "y"));
    const QList<QStringList> entries = JsonParsing::readHistory(Kind::Video, "history.json");
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).at(1), path);
    QCOMPARE(entries.at(1).at(1), path);
}

void JsonParsingTest::history_interruptedWriteKeepsOldFile()
{
    QVERIFY(JsonParsing::initHistory());
    for (int i = 0; i < 20; ++i)
        QVERIFY(JsonParsing::addHistory(Kind::Video, "2026-12-01",
                                        QString("/videos/clip number %1.mp4").arg(i),
                                        QString("/videos/c_clip number %1.mp4").arg(i)));
    const QByteArray before = fileBytes("history.json");
    QVERIFY(before.size() > 1000);

    // A file-size limit just below the next version of the file makes the write stop part way,
    // as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(before.size() - 1);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);

    const bool added =
        JsonParsing::addHistory(Kind::Video, "2026-12-02", "/videos/one more.mp4", "/videos/c_one more.mp4");
    JsonParsing::clearHistory("history.json", 1); // same size as before: also too big
    const bool cleared = HistoryWriter::instance().flush();

    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_DFL);

    QVERIFY(!added);
    QVERIFY(cleared);
    QCOMPARE(fileBytes("history.json"), before);
    QCOMPARE(JsonParsing::readHistory(Kind::Video, "history.json").size(), 20);
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{"history.json"});
    QCOMPARE(TestEnv::logLines(), QStringList{"clear history json file fail"});
}

void JsonParsingTest::history_twoProgramsAddingAtOnceLoseNothing()
{
    QVERIFY(JsonParsing::initHistory());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VX_HISTORY_CHILD", QDir::currentPath());
    std::vector<std::unique_ptr<QProcess>> programs;
    for (int i = 0; i < 2; ++i) {
        programs.push_back(std::make_unique<QProcess>());
        programs.back()->setProcessEnvironment(environment);
        programs.back()->start(QCoreApplication::applicationFilePath(), QStringList());
    }
    for (const auto& program : programs) {
        QVERIFY(program->waitForFinished(120000));
        QCOMPARE(program->exitCode(), 0);
    }
    QCOMPARE(JsonParsing::readHistory(Kind::Image, "history.json").size(), 400);
}

void JsonParsingTest::history_entryTheFileCannotTakeIsLogged_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("bare array") << QByteArray("[]") << "not a history object";
    QTest::newRow("image not a list")
        << QByteArray("{ \"image\" : { \"a\" : 1 }, \"video\" : [] }") << "image is not a list";
    QTest::newRow("malformed") << QByteArray("{ \"image\" : [")
                               << "* Line 1, Column 14 Syntax error: value, object or array expected.";
}

void JsonParsingTest::history_entryTheFileCannotTakeIsLogged()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    writeBytes("history.json", content);
    // Two pictures sent off through the window; the video's entry goes where the file can take it.
    HistoryWriter::instance().append(Kind::Image, "2026-12-09", "/a.png", "/c_a.png");
    HistoryWriter::instance().append(Kind::Video, "2026-12-09", "/v.mp4", "/c_v.mp4");
    HistoryWriter::instance().append(Kind::Image, "2026-12-09", "/b.png", "/c_b.png");
    QVERIFY(HistoryWriter::instance().flush());
    // The writer may take the entries in one write or in several, each with its own line.
    const QRegularExpression line("^history json fail: (\\d+) entries not written: (.*)$");
    int lost = 0;
    for (const QString& logged : TestEnv::logLines()) {
        const QRegularExpressionMatch match = line.match(logged);
        QVERIFY2(match.hasMatch(), qPrintable(logged));
        QCOMPARE(match.captured(2), reason);
        lost += match.captured(1).toInt();
    }
    QCOMPARE(lost, reason.startsWith("image") ? 2 : 3);
    if (reason.startsWith("image"))
        QCOMPARE(JsonParsing::readHistory(Kind::Video, "history.json").size(), 1);
    else
        QCOMPARE(fileBytes("history.json"), content);
}

void JsonParsingTest::parseMediaInfo_readsAllFields()
{
    writeBytes("info.json", R"({"media": {"@ref": "/clips/a.mp4", "track": [
        {"@type": "General", "FileSize": "123456", "Duration": "2.040", "FileExtension": "mp4"},
        {"@type": "Video", "FrameRate": "25.000", "Duration": "2.000", "Format": "AVC",
         "Width": "160", "Height": "120", "BitRate": "98765"},
        {"@type": "Audio", "Channels": "2", "Duration": "2.040", "SamplingRate": "44100", "Format": "AAC"},
        {"@type": "Text", "Format": "UTF-8"}
    ]}})");
    VideoInfo info;
    info.baseName = "a";
    info.filePath = "/clips/a.mp4";
    QVERIFY(JsonParsing::parseMediaInfo(info, "info.json"));
    QCOMPARE(info.baseName, QString("a"));
    QCOMPARE(info.filePath, QString("/clips/a.mp4"));
    QCOMPARE(info.fileSize, 123456);
    QCOMPARE(info.duration, 2.04);
    QCOMPARE(info.fileExtension, QString("mp4"));
    QCOMPARE(info.frameRate, 25.0);
    QCOMPARE(info.videoDuration, 2.0);
    QCOMPARE(info.videoFormat, QString("AVC"));
    QCOMPARE(info.width, 160);
    QCOMPARE(info.height, 120);
    QCOMPARE(info.bitRate, 98765);
    QCOMPARE(info.channels, 2);
    QCOMPARE(info.audioDuration, 2.04);
    QCOMPARE(info.samplingRate, 44100);
    QCOMPARE(info.audioFormat, QString("AAC"));
}

void JsonParsingTest::parseMediaInfo_cases_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    // Each case starts from fileSize 7, width 50, height 40.
    QTest::newRow("file size beyond 32 bits")
        << QByteArray(R"({"media": {"track": [{"@type": "General", "FileSize": "5000000000"}]}})") << true
        << 0 << 50 << 40;
    QTest::newRow("second video track wins")
        << QByteArray(R"({"media": {"track": [{"@type": "Video", "Width": "640", "Height": "480"},
                                               {"@type": "Video", "Width": "320", "Height": "240"}]}})")
        << true << 7 << 320 << 240;
    QTest::newRow("missing members read as 0")
        << QByteArray(R"({"media": {"track": [{"@type": "Video", "Format": "HEVC"}]}})") << true << 7 << 0
        << 0;
    QTest::newRow("type is case-sensitive")
        << QByteArray(R"({"media": {"track": [{"@type": "video", "Width": "640"}]}})") << true << 7 << 50
        << 40;
    QTest::newRow("tracks that are not objects are skipped")
        << QByteArray(
               R"({"media": {"track": [5, "Video", {"@type": "Video", "Width": "64", "Height": "48"}]}})")
        << true << 7 << 64 << 48;
    QTest::newRow("track is an object")
        << QByteArray(R"({"media": {"track": {"@type": "Video", "Width": "640"}}})") << false << 7 << 50
        << 40;
    QTest::newRow("no track") << QByteArray(R"({"media": {}})") << false << 7 << 50 << 40;
    QTest::newRow("no media") << QByteArray(R"({"track": []})") << false << 7 << 50 << 40;
    QTest::newRow("array root") << QByteArray(R"([{"media": {}}])") << false << 7 << 50 << 40;
    QTest::newRow("malformed") << QByteArray(R"({"media": {"track": [)") << false << 7 << 50 << 40;
    QTest::newRow("missing file") << QByteArray() << false << 7 << 50 << 40;
}

void JsonParsingTest::parseMediaInfo_cases()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, result);
    QFETCH(int, fileSize);
    QFETCH(int, width);
    QFETCH(int, height);
    if (!content.isEmpty())
        writeBytes("info.json", content);
    VideoInfo info;
    info.fileSize = 7;
    info.width = 50;
    info.height = 40;
    QCOMPARE(JsonParsing::parseMediaInfo(info, "info.json"), result);
    QCOMPARE(info.fileSize, fileSize);
    QCOMPARE(info.width, width);
    QCOMPARE(info.height, height);
}

QTEST_GUILESS_MAIN(JsonParsingTest)
#include "tst_jsonparsing.moc"
