#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "ContextMenuHost.h"
#include "DesktopIntegration.h"
#include "ServerRegistration.h"
#include "ShellExtEnv.h"
#include "TestEnv.h"

namespace
{

const QByteArray kUserThunarList = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<actions>\n"
                                   "<action>\n"
                                   "\t<icon>utilities-terminal</icon>\n"
                                   "\t<name>My own terminal</name>\n"
                                   "\t<unique-id>1234567890-1</unique-id>\n"
                                   "\t<command>xterm</command>\n"
                                   "\t<patterns>*</patterns>\n"
                                   "\t<directories/>\n"
                                   "</action>\n"
                                   "</actions>\n";

// Every file and folder below `root` with its permissions and content.
QStringList snapshot(const QString& root)
{
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QString line = path.mid(root.size()) + " " + QString::number(int(info.permissions()), 16);
        if (info.isFile()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                line += " " + QString::fromUtf8(file.readAll().toHex());
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

// The file managers' entries that registration writes through the host, and that unregistration
// takes back exactly.
class DesktopIntegrationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void entriesForEveryFileManager();
    void userFoldersAreLeftAsTheyWere_data();
    void userFoldersAreLeftAsTheyWere();
    void newThunarListKeepsTheSystemActions();
    void perMachineEntries();
    void suffixesMatchTheHandler();

private:
    int host(const QStringList& arguments, QByteArray* output = nullptr);
    QString data(const QString& relative) const { return m_dir->path() + "/home/.local/share/" + relative; }
    QString config(const QString& relative) const { return m_dir->path() + "/home/.config/" + relative; }

    QScopedPointer<QTemporaryDir> m_dir;
};

void DesktopIntegrationTest::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    ShellExtEnv::isolate(*m_dir);
}

int DesktopIntegrationTest::host(const QStringList& arguments, QByteArray* output)
{
    return TestEnv::runTool(ShellExtEnv::hostPath(), arguments, output);
}

void DesktopIntegrationTest::entriesForEveryFileManager()
{
    VX_REQUIRE_TOOL("desktop-file-validate");
    VX_REQUIRE_TOOL("update-desktop-database");
    QByteArray output;
    QCOMPARE(host({"--register", "--user"}, &output), 0);
    QCOMPARE(output,
             "registered " + QFile::encodeName(ShellExtEnv::libraryPath()) + " for the current user\n");
    const QString entry = QString::fromUtf8("用Vornex打开");
    const QString command = "\"" + ShellExtEnv::hostPath() + "\" --invoke " + entry;

    const QString openWith = data("applications/vornex-open.desktop");
    QByteArray validation;
    QCOMPARE(TestEnv::runTool("desktop-file-validate", {openWith}, &validation), 0);
    QCOMPARE(validation, QByteArray());
    const QString openWithText = readText(openWith);
    QVERIFY(openWithText.contains("\nNoDisplay=true\n"));
    QVERIFY(openWithText.contains("\nExec=" + command + " %f\n"));
    QVERIFY(openWithText.contains("\nMimeType=application/pdf;video/mp4;video/x-matroska;video/x-msvideo;"
                                  "video/x-ms-wmv;video/x-flv;video/quicktime;image/png;image/jpeg;image/gif;"
                                  "image/bmp;\n"));
    QVERIFY(
        readText(data("applications/mimeinfo.cache")).contains("\nvideo/quicktime=vornex-open.desktop;\n"));

    const QString dolphin = data("kio/servicemenus/vornex-open.desktop");
    QVERIFY(QFileInfo(dolphin).isExecutable());
    QVERIFY(readText(dolphin).contains("\nX-KDE-Priority=TopLevel\n"));
    QVERIFY(readText(dolphin).contains("\nName=" + entry + "\nExec=" + command + " %f\n"));

    const QString nemo = readText(data("nemo/actions/vornex-open.nemo_action"));
    QVERIFY(nemo.contains("\nSelection=s\nExtensions=pdf;mp4;mkv;avi;wmv;flv;mov;png;jpg;gif;bmp;\n"));
    QVERIFY(nemo.contains("\nExec=" + command + " %F\n"));

    const QString actions = readText(data("file-manager/actions/vornex-open.desktop"));
    QVERIFY(
        actions.contains("\nBasenames=*.pdf;*.mp4;*.mkv;*.avi;*.wmv;*.flv;*.mov;*.png;*.jpg;*.gif;*.bmp;\n"
                         "Matchcase=false\nSelectionCount==1\n"));

    const QString thunar = readText(config("Thunar/uca.xml"));
    QVERIFY(thunar.contains("<unique-id>vornex-open-with-vornex</unique-id>"));
    QVERIFY(thunar.contains("<patterns>*.pdf;*.PDF;*.mp4;*.MP4;"));
    QVERIFY(thunar.contains("<other-files/>"));
    QVERIFY(thunar.contains("<range>1-1</range>"));

    const QString nautilus = data("nautilus-python/extensions/vornex_open.py");
    QVERIFY(readText(nautilus).contains("HOST = '" + ShellExtEnv::hostPath() + "'"));
    VX_REQUIRE_TOOL("python3");
    QCOMPARE(
        TestEnv::runTool("python3", {"-c", "import ast,sys; ast.parse(open(sys.argv[1]).read())", nautilus}),
        0);
}

void DesktopIntegrationTest::userFoldersAreLeftAsTheyWere_data()
{
    QTest::addColumn<bool>("prepared");
    QTest::newRow("empty home") << false;
    QTest::newRow("home with the user's own entries and Thunar list") << true;
}

void DesktopIntegrationTest::userFoldersAreLeftAsTheyWere()
{
    QFETCH(bool, prepared);
    VX_REQUIRE_TOOL("update-desktop-database");
    if (prepared) {
        writeText(data("applications/viewer.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=image/png;\n");
        QCOMPARE(TestEnv::runTool("update-desktop-database", {data("applications")}), 0);
        writeText(config("Thunar/uca.xml"), kUserThunarList);
        QDir().mkpath(data("nemo/actions"));
    }
    const QString home = m_dir->path() + "/home";
    const QStringList dataBefore = snapshot(home + "/.local/share");
    const QStringList configBefore = snapshot(home + "/.config");
    QCOMPARE(host({"--register", "--user"}), 0);
    if (prepared) {
        const QString thunar = readText(config("Thunar/uca.xml"));
        QVERIFY(thunar.startsWith(
            QString::fromUtf8(kUserThunarList.left(kUserThunarList.indexOf("</actions>")))));
        QVERIFY(thunar.contains("vornex-open-with-vornex"));
        QVERIFY(readText(data("applications/mimeinfo.cache"))
                    .contains("image/png=viewer.desktop;vornex-open.desktop;"));
    }
    // A second registration changes nothing more.
    QCOMPARE(host({"--register", "--user"}), 0);
    QCOMPARE(readText(config("Thunar/uca.xml")).count("vornex-open-with-vornex"), 1);
    QCOMPARE(host({"--unregister", "--user"}), 0);
    QCOMPARE(snapshot(home + "/.local/share"), dataBefore);
    QCOMPARE(snapshot(home + "/.config"), configBefore);
    QVERIFY(!QFileInfo::exists(home + "/.local/state/vornex/desktop-integration.list"));
}

void DesktopIntegrationTest::newThunarListKeepsTheSystemActions()
{
    writeText(m_dir->path() + "/machine-config/Thunar/uca.xml", kUserThunarList);
    QCOMPARE(host({"--register", "--user"}), 0);
    const QString list = readText(config("Thunar/uca.xml"));
    QVERIFY(list.contains("<name>My own terminal</name>"));
    QVERIFY(list.contains("vornex-open-with-vornex"));
    QCOMPARE(host({"--unregister", "--user"}), 0);
    QVERIFY(!QFileInfo::exists(config("Thunar/uca.xml")));
    QVERIFY(!QFileInfo::exists(config("Thunar")));
}

void DesktopIntegrationTest::perMachineEntries()
{
    QCOMPARE(host({"--register"}), 0);
    const QString share = m_dir->path() + "/machine-data/";
    QVERIFY(QFileInfo::exists(share + "applications/vornex-open.desktop"));
    QVERIFY(QFileInfo::exists(share + "kio/servicemenus/vornex-open.desktop"));
    QVERIFY(readText(m_dir->path() + "/machine-config/Thunar/uca.xml").contains("vornex-open-with-vornex"));
    QVERIFY(!QFileInfo::exists(m_dir->path() + "/home/.local"));
    QCOMPARE(host({"--unregister"}), 0);
    QCOMPARE(snapshot(m_dir->path() + "/machine-data"), QStringList());
    QCOMPARE(snapshot(m_dir->path() + "/machine-config"), QStringList());
}

void DesktopIntegrationTest::suffixesMatchTheHandler()
{
    // The entries offer what the registered handler accepts, in either case; it has the last word.
    QCOMPARE(ServerRegistration::install(ShellExtEnv::libraryPath(), true, true), S_OK);
    QCOMPARE(DesktopIntegration::suffixes().size(), 11);
    QCOMPARE(DesktopIntegration::mimeTypes().size(), 11);
    for (const QString& suffix : DesktopIntegration::suffixes()) {
        for (const QString& name : {"f." + suffix, "F." + suffix.toUpper()}) {
            const QString path = m_dir->path() + "/" + name;
            writeText(path, "x");
            ContextMenuHost host;
            const QVector<ContextMenuHost::Entry> entries = host.buildMenu({path});
            QCOMPARE(entries.size(), 1);
            QCOMPARE(entries[0].text, DesktopIntegration::entryText());
        }
    }
    writeText(m_dir->path() + "/f.docx", "x");
    ContextMenuHost host;
    QCOMPARE(host.buildMenu({m_dir->path() + "/f.docx"}).size(), 0);
}

QTEST_GUILESS_MAIN(DesktopIntegrationTest)
#include "tst_desktopintegration.moc"
