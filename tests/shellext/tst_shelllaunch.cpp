#include <csignal>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "CommandLineSplitter.h"
#include "ContextMenuHost.h"
#include "ServerRegistration.h"
#include "ShellExtEnv.h"
#include "TestEnv.h"

namespace
{

const QString kEntry = QString::fromUtf8("用Vornex打开");

// A stand-in for the program: writes its working folder and each argument on a line of its own.
const QByteArray kProbe =
    "out=\"$VX_PROBE_OUT\"\n"
    "{ pwd; echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$out.partial\"\n"
    "mv \"$out.partial\" \"$out\"\n";

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    QString text = QString::fromUtf8(file.readAll());
    text.chop(1);
    return text.split('\n');
}

} // namespace

// What the extension starts: the program beside the library, in the library's folder, with the
// selected path as its one argument; and the real program opening that file.
class ShellLaunchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void parametersSplitLikeWindows_data();
    void parametersSplitLikeWindows();
    void programReceivesExactlyThePath();
    void folderWithASupportedNameIsStarted();
    void longLibraryFolderIsKeptWhole();
    void missingProgramIsSilent();
    void realProgramOpensTheFile();

private:
    QString installCopy(const QString& folder, bool withProbe);
    QString makeFile(const QString& name);
    bool invoke(const QString& path, QString* reason);

    QTemporaryDir m_dir;
    QString m_probeOut;
};

void ShellLaunchTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ShellExtEnv::isolate(m_dir);
    m_probeOut = m_dir.path() + "/probe.out";
    qputenv("VX_PROBE_OUT", QFile::encodeName(m_probeOut));
}

void ShellLaunchTest::init()
{
    QFile::remove(m_probeOut);
}

void ShellLaunchTest::parametersSplitLikeWindows_data()
{
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("quoted path with blanks") << "\"D:\\a b\\x.png\"" << QStringList{"D:\\a b\\x.png"};
    QTest::newRow("blanks separate") << "a  b\tc" << QStringList{"a", "b", "c"};
    QTest::newRow("quote inside a word") << "ab\"c d\"e" << QStringList{"abc de"};
    QTest::newRow("escaped quote") << "a\\\"b" << QStringList{"a\"b"};
    QTest::newRow("doubled backslashes before a quote") << "\"a\\\\\" b" << QStringList{"a\\", "b"};
    QTest::newRow("backslashes alone") << "a\\\\b" << QStringList{"a\\\\b"};
    QTest::newRow("two quotes inside a run") << "\"a\"\"b\"" << QStringList{"a\"b"};
    QTest::newRow("empty quoted run") << "\"\" x" << QStringList{"", "x"};
    QTest::newRow("nothing") << "   " << QStringList();
}

void ShellLaunchTest::parametersSplitLikeWindows()
{
    QFETCH(QString, parameters);
    QFETCH(QStringList, arguments);
    QStringList split;
    for (const std::wstring& argument : CommandLineSplitter::split(parameters.toStdWString()))
        split << QString::fromStdWString(argument);
    QCOMPARE(split, arguments);
}

QString ShellLaunchTest::installCopy(const QString& folder, bool withProbe)
{
    QDir().mkpath(folder);
    const QString library = folder + "/libVornixMenu64.so";
    QFile::remove(library);
    if (!QFile::copy(ShellExtEnv::libraryPath(), library))
        return QString();
    if (withProbe && TestEnv::writeScript(folder + "/Vornix", kProbe).isEmpty())
        return QString();
    return ServerRegistration::install(library, true, true) == S_OK ? library : QString();
}

QString ShellLaunchTest::makeFile(const QString& name)
{
    const QString path = m_dir.path() + "/" + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1 ? path : QString();
}

bool ShellLaunchTest::invoke(const QString& path, QString* reason)
{
    ContextMenuHost host;
    return host.invoke({path}, kEntry, reason);
}

void ShellLaunchTest::programReceivesExactlyThePath()
{
    const QString folder = m_dir.path() + "/Program Files/Tool";
    QVERIFY(!installCopy(folder, true).isEmpty());
    const QString path = makeFile(QString::fromUtf8("片段 'a' $(x); b/视频 剪辑.MP4"));
    QVERIFY(!path.isEmpty());
    QString reason;
    QVERIFY2(invoke(path, &reason), qPrintable(reason));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_probeOut), 30000);
    QCOMPARE(readLines(m_probeOut), (QStringList{folder, "1", path}));
}

void ShellLaunchTest::folderWithASupportedNameIsStarted()
{
    const QString folder = m_dir.path() + "/folder-test";
    QVERIFY(!installCopy(folder, true).isEmpty());
    const QString holiday = m_dir.path() + "/holiday.mov";
    QVERIFY(QDir().mkpath(holiday));
    QString reason;
    QVERIFY2(invoke(holiday, &reason), qPrintable(reason));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_probeOut), 30000);
    QCOMPARE(readLines(m_probeOut), (QStringList{folder, "1", holiday}));
}

void ShellLaunchTest::longLibraryFolderIsKeptWhole()
{
    QString folder = m_dir.path();
    while (folder.size() <= 300)
        folder += "/" + QString(60, 'L');
    QVERIFY(!installCopy(folder, true).isEmpty());
    const QString path = makeFile("long/Clip.mkv");
    QString reason;
    QVERIFY2(invoke(path, &reason), qPrintable(reason));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_probeOut), 30000);
    QCOMPARE(readLines(m_probeOut), (QStringList{folder, "1", path}));
}

void ShellLaunchTest::missingProgramIsSilent()
{
    const QString folder = m_dir.path() + "/no-program";
    QVERIFY(!installCopy(folder, false).isEmpty());
    const QString path = makeFile("silent.png");
    QString reason;
    QVERIFY2(invoke(path, &reason), qPrintable(reason));
    // Two files: the handler offers no entry, and the host says so.
    const QString other = makeFile("other.png");
    ContextMenuHost host;
    QVERIFY(!host.invoke({path, other}, kEntry, &reason));
    QCOMPARE(reason, QString::fromUtf8("no entry \"用Vornex打开\" for this selection"));
    QVERIFY(!QFileInfo::exists(m_probeOut));
}

void ShellLaunchTest::realProgramOpensTheFile()
{
    // The real program, beside a copy of the library (the copy's folder is the working folder, so
    // the program writes its files there). A Qt plugin reports what its window shows and ends it.
    const QString folder = m_dir.path() + "/real";
    QVERIFY(!installCopy(folder, false).isEmpty());
    QVERIFY(QFile::link(QCoreApplication::applicationDirPath() + "/Vornix", folder + "/Vornix"));
    const QString report = m_dir.path() + "/report.json";
    qputenv("QT_PLUGIN_PATH", VX_TEST_PLUGIN_DIR);
    qputenv("QT_QPA_GENERIC_PLUGINS", "vxwidgetreport");
    qputenv("VX_WIDGET_REPORT", QFile::encodeName(report));
    const QString path = makeFile(QString::fromUtf8("视频 'x'/假期 剪辑.mp4"));
    QString reason;
    const bool invoked = invoke(path, &reason);
    qunsetenv("QT_QPA_GENERIC_PLUGINS");
    QVERIFY2(invoked, qPrintable(reason));
    QJsonObject shown;
    QTRY_VERIFY_WITH_TIMEOUT((shown = QJsonDocument::fromJson([&] {
                                          QFile file(report);
                                          return file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                                : QByteArray();
                                      }())
                                          .object(),
                              !shown.isEmpty()),
                             60000);
    QCOMPARE(shown["titles"].toArray(), QJsonArray{"Vornex"});
    // The file appears in a visible list: the list of its kind's page (the only one shown).
    int holding = 0;
    for (const QJsonValue& list : shown["lists"].toArray()) {
        const QJsonObject object = list.toObject();
        bool named = false;
        for (const QJsonValue& text : object["texts"].toArray())
            named = named || text.toString() == path || text.toString() == QFileInfo(path).fileName();
        if (!named)
            continue;
        ++holding;
        const QString name = object["objectName"].toString();
        QVERIFY2(name.isEmpty() || name == "listWidgetVideo", qPrintable(name));
    }
    QCOMPARE(holding, 1);
}

QTEST_GUILESS_MAIN(ShellLaunchTest)
#include "tst_shelllaunch.moc"
