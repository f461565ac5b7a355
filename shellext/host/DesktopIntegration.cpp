#include "DesktopIntegration.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include "SystemConstants.h"

namespace
{

const char* const kOwnName = "vornex-open";
const char* const kThunarId = "vornex-open-with-vornex";
const char* const kThunarSkeleton = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

QString environmentFolder(const char* name, const QString& fallback)
{
    const QString value = QString::fromLocal8Bit(qgetenv(name));
    return value.startsWith('/') ? value : fallback;
}

QString firstOfList(const char* name, const QString& fallback)
{
    for (const QString& entry : QString::fromLocal8Bit(qgetenv(name)).split(':', Qt::SkipEmptyParts)) {
        if (entry.startsWith('/'))
            return QDir::cleanPath(entry);
    }
    return fallback;
}

// An argument of a desktop entry's Exec line, quoted with its reserved characters escaped.
QString execQuoted(const QString& argument)
{
    QString escaped;
    for (const QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return '"' + escaped + '"';
}

QString xmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

bool readFile(const QString& path, QByteArray* content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *content = file.readAll();
    return true;
}

bool saveFile(const QString& path, const QByteArray& content, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        *error = QString("cannot write %1").arg(path);
        return false;
    }
    return true;
}

// The span of our Thunar action in the list, from its line's start to after its closing tag and
// line end; empty when it is not there.
QPair<int, int> thunarActionSpan(const QString& list)
{
    const int idAt = list.indexOf(QString("<unique-id>%1</unique-id>").arg(kThunarId));
    if (idAt < 0)
        return {-1, -1};
    const int start = list.lastIndexOf("<action>", idAt);
    const int close = list.indexOf("</action>", idAt);
    if (start < 0 || close < 0)
        return {-1, -1};
    int begin = start;
    while (begin > 0 && (list[begin - 1] == ' ' || list[begin - 1] == '\t'))
        --begin;
    int end = close + int(qstrlen("</action>"));
    if (end < list.size() && list[end] == '\n')
        ++end;
    return {begin, end};
}

} // namespace

DesktopIntegration::DesktopIntegration(bool perUser, const QString& hostProgram)
    : m_perUser(perUser)
    , m_hostProgram(QFileInfo(hostProgram).absoluteFilePath())
{
    if (perUser) {
        m_dataFolder = environmentFolder("XDG_DATA_HOME", QDir::homePath() + "/.local/share");
        m_configFolder = environmentFolder("XDG_CONFIG_HOME", QDir::homePath() + "/.config");
    } else {
        m_dataFolder = firstOfList("XDG_DATA_DIRS", "/usr/share");
        m_configFolder = firstOfList("XDG_CONFIG_DIRS", "/etc/xdg");
    }
}

const QStringList& DesktopIntegration::mimeTypes()
{
    static const QStringList s_types = {"application/pdf", "video/mp4",      "video/x-matroska",
                                        "video/x-msvideo", "video/x-ms-wmv", "video/x-flv",
                                        "video/quicktime", "image/png",      "image/jpeg",
                                        "image/gif",       "image/bmp"};
    return s_types;
}

const QStringList& DesktopIntegration::suffixes()
{
    static const QStringList s_suffixes = {"pdf", "mp4", "mkv", "avi", "wmv", "flv",
                                           "mov", "png", "jpg", "gif", "bmp"};
    return s_suffixes;
}

QString DesktopIntegration::entryText()
{
    return QString::fromUtf8("用Vornex打开");
}

QStringList DesktopIntegration::ownFiles() const
{
    return {m_dataFolder + "/applications/" + kOwnName + ".desktop",
            m_dataFolder + "/kio/servicemenus/" + kOwnName + ".desktop",
            m_dataFolder + "/nemo/actions/" + kOwnName + ".nemo_action",
            m_dataFolder + "/file-manager/actions/" + kOwnName + ".desktop",
            m_dataFolder + "/nautilus-python/extensions/vornex_open.py"};
}

QString DesktopIntegration::thunarList() const
{
    return m_configFolder + "/Thunar/uca.xml";
}

QString DesktopIntegration::invokeCommand(const QString& pathCode) const
{
    return execQuoted(m_hostProgram) + " --invoke " + entryText() + " " + pathCode;
}

QString DesktopIntegration::openWithEntry() const
{
    return QString("[Desktop Entry]\n"
                   "Type=Application\n"
                   "Name=Vornex\n"
                   "Comment=%1\n"
                   "Exec=%2\n"
                   "MimeType=%3;\n"
                   "NoDisplay=true\n"
                   "Terminal=false\n")
        .arg(entryText(), invokeCommand("%f"), mimeTypes().join(';'));
}

QString DesktopIntegration::dolphinEntry() const
{
    return QString("[Desktop Entry]\n"
                   "Type=Service\n"
                   "MimeType=%1;\n"
                   "Actions=openWithVornex;\n"
                   "X-KDE-Priority=TopLevel\n"
                   "X-KDE-MaxNumberOfUrls=1\n"
                   "\n"
                   "[Desktop Action openWithVornex]\n"
                   "Name=%2\n"
                   "Exec=%3\n")
        .arg(mimeTypes().join(';'), entryText(), invokeCommand("%f"));
}

QString DesktopIntegration::nemoAction() const
{
    return QString("[Nemo Action]\n"
                   "Name=%1\n"
                   "Comment=%1\n"
                   "Exec=%2\n"
                   "Selection=s\n"
                   "Extensions=%3;\n")
        .arg(entryText(), invokeCommand("%F"), suffixes().join(';'));
}

QString DesktopIntegration::fileManagerAction() const
{
    QStringList basenames;
    for (const QString& suffix : suffixes())
        basenames << "*." + suffix;
    return QString("[Desktop Entry]\n"
                   "Type=Action\n"
                   "Name=%1\n"
                   "Tooltip=%1\n"
                   "Profiles=main;\n"
                   "\n"
                   "[X-Action-Profile main]\n"
                   "Exec=%2\n"
                   "Basenames=%3;\n"
                   "Matchcase=false\n"
                   "SelectionCount==1\n"
                   "MimeTypes=all/allfiles;\n")
        .arg(entryText(), invokeCommand("%f"), basenames.join(';'));
}

QString DesktopIntegration::thunarAction() const
{
    // Thunar's patterns are case-sensitive: the lower-case and the upper-case form of each suffix.
    QStringList patterns;
    for (const QString& suffix : suffixes())
        patterns << "*." + suffix << "*." + suffix.toUpper();
    return QString("\t<action>\n"
                   "\t\t<icon></icon>\n"
                   "\t\t<name>%1</name>\n"
                   "\t\t<submenu></submenu>\n"
                   "\t\t<unique-id>%2</unique-id>\n"
                   "\t\t<command>%3</command>\n"
                   "\t\t<description>%1</description>\n"
                   "\t\t<range>1-1</range>\n"
                   "\t\t<patterns>%4</patterns>\n"
                   "\t\t<image-files/>\n"
                   "\t\t<video-files/>\n"
                   "\t\t<other-files/>\n"
                   "\t</action>\n")
        .arg(xmlEscaped(entryText()), kThunarId, xmlEscaped(invokeCommand("%f")), patterns.join(';'));
}

QString DesktopIntegration::nautilusExtension() const
{
    QStringList quotedSuffixes;
    for (const QString& suffix : suffixes())
        quotedSuffixes << "'." + suffix + "'";
    QString host = m_hostProgram;
    host.replace("\\", "\\\\").replace("'", "\\'");
    return QString("# The Vornex entry of GNOME Files' context menu, for one selected file with a supported "
                   "suffix.\n"
                   "from gi.repository import GLib, GObject, Nautilus\n"
                   "\n"
                   "HOST = '%1'\n"
                   "ENTRY = '%2'\n"
                   "SUFFIXES = (%3)\n"
                   "\n"
                   "\n"
                   "class VornexMenuProvider(GObject.GObject, Nautilus.MenuProvider):\n"
                   "    def get_file_items(self, files):\n"
                   "        if len(files) != 1 or files[0].get_uri_scheme() != 'file' or "
                   "files[0].is_directory():\n"
                   "            return []\n"
                   "        name = files[0].get_name().lower()\n"
                   "        if not any(name.endswith(s) and len(name) > len(s) for s in SUFFIXES):\n"
                   "            return []\n"
                   "        item = Nautilus.MenuItem(name='Vornex::Open', label=ENTRY)\n"
                   "        item.connect('activate', self.activate, files[0].get_location().get_path())\n"
                   "        return [item]\n"
                   "\n"
                   "    def activate(self, item, path):\n"
                   "        GLib.spawn_async([HOST, '--invoke', ENTRY, path])\n")
        .arg(host, entryText(), quotedSuffixes.join(", "));
}

bool DesktopIntegration::makeFolder(const QString& folder, QString* error)
{
    // Each folder made here is noted, deepest last, so that removal takes back only those.
    QStringList missing;
    for (QString f = QDir::cleanPath(folder); !QFileInfo::exists(f); f = QFileInfo(f).path())
        missing.prepend(f);
    for (const QString& f : missing) {
        if (!QDir().mkdir(f)) {
            *error = QString("cannot create %1").arg(f);
            return false;
        }
        note("dir " + f);
    }
    return true;
}

bool DesktopIntegration::writeOwnFile(const QString& path, const QString& content, bool executable,
                                      QString* error)
{
    if (!makeFolder(QFileInfo(path).path(), error))
        return false;
    if (!QFileInfo::exists(path))
        note("file " + path);
    if (!saveFile(path, content.toUtf8(), error))
        return false;
    QFile::Permissions permissions =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (executable)
        permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QFile::setPermissions(path, permissions);
    return true;
}

bool DesktopIntegration::mergeThunarAction(QString* error)
{
    const QString path = thunarList();
    QByteArray bytes;
    bool created = false;
    if (!readFile(path, &bytes)) {
        // Thunar reads only the first list it finds, the user's before the system's: a new list of
        // the user's starts as a copy of the system's, so that its actions stay offered.
        created = true;
        bytes = kThunarSkeleton;
        if (m_perUser) {
            const QString system =
                QStandardPaths::locate(QStandardPaths::GenericConfigLocation, "Thunar/uca.xml");
            QByteArray systemBytes;
            if (!system.isEmpty() && system != path && readFile(system, &systemBytes))
                bytes = systemBytes;
        }
        if (!makeFolder(QFileInfo(path).path(), error))
            return false;
    }
    QString list = QString::fromUtf8(bytes);
    const QPair<int, int> existing = thunarActionSpan(list);
    if (existing.first >= 0)
        list.remove(existing.first, existing.second - existing.first);
    const int close = list.lastIndexOf("</actions>");
    if (close < 0) {
        *error = QString("no action list in %1").arg(path);
        return false;
    }
    if (created)
        note("thunar-created " + path + " " + sha256(list.toUtf8()));
    list.insert(close, thunarAction());
    return saveFile(path, list.toUtf8(), error);
}

bool DesktopIntegration::removeThunarAction(QString* error)
{
    const QString path = thunarList();
    QByteArray bytes;
    if (!readFile(path, &bytes))
        return true;
    QString list = QString::fromUtf8(bytes);
    const QPair<int, int> span = thunarActionSpan(list);
    if (span.first < 0)
        return true;
    list.remove(span.first, span.second - span.first);
    // A list made by registration goes again when nothing else changed in it.
    const QString createdNote = "thunar-created " + path + " ";
    for (const QString& line : m_manifest) {
        if (!line.startsWith(createdNote) || line.mid(createdNote.size()) != sha256(list.toUtf8()))
            continue;
        if (QFile::remove(path))
            return true;
        *error = "cannot remove " + path;
        return false;
    }
    return saveFile(path, list.toUtf8(), error);
}

void DesktopIntegration::refreshMimeCache()
{
    const QString folder = m_dataFolder + "/applications";
    const QString cache = folder + "/mimeinfo.cache";
    const bool hadCache = QFileInfo::exists(cache);
    QProcess process;
    process.start("update-desktop-database", {folder});
    if (process.waitForStarted(10000) && !process.waitForFinished(60000))
        process.kill();
    process.waitForFinished(5000);
    if (!hadCache && QFileInfo::exists(cache))
        note("file " + cache);
}

QString DesktopIntegration::manifestPath() const
{
    const std::string state =
        m_perUser ? SystemConstants::userStateFolder() : SystemConstants::machineStateFolder();
    return QString::fromStdString(state) + "/desktop-integration.list";
}

QStringList DesktopIntegration::readManifest() const
{
    QByteArray bytes;
    if (!readFile(manifestPath(), &bytes))
        return QStringList();
    return QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts);
}

bool DesktopIntegration::writeManifest(const QStringList& lines) const
{
    if (lines.isEmpty())
        return !QFileInfo::exists(manifestPath()) || QFile::remove(manifestPath());
    QDir().mkpath(QFileInfo(manifestPath()).path());
    QString error;
    return saveFile(manifestPath(), (lines.join('\n') + '\n').toUtf8(), &error);
}

void DesktopIntegration::note(const QString& line)
{
    if (!m_manifest.contains(line))
        m_manifest << line;
}

bool DesktopIntegration::install(QString* error)
{
    m_manifest = readManifest();
    const QStringList files = ownFiles();
    bool ok = writeOwnFile(files[0], openWithEntry(), false, error) &&
              writeOwnFile(files[1], dolphinEntry(), true, error) &&
              writeOwnFile(files[2], nemoAction(), false, error) &&
              writeOwnFile(files[3], fileManagerAction(), false, error) &&
              writeOwnFile(files[4], nautilusExtension(), false, error) && mergeThunarAction(error);
    if (ok)
        refreshMimeCache();
    // Noted even after a failure, so that removal takes back what was written.
    return writeManifest(m_manifest) && ok;
}

bool DesktopIntegration::remove(QString* error)
{
    m_manifest = readManifest();
    bool ok = removeThunarAction(error);
    for (const QString& file : ownFiles()) {
        if (QFileInfo::exists(file) && !QFile::remove(file)) {
            *error = "cannot remove " + file;
            ok = false;
        }
    }
    // The MIME cache is brought up to date; one that registration made goes when it lists nothing.
    const QString cache = m_dataFolder + "/applications/mimeinfo.cache";
    if (QFileInfo(m_dataFolder + "/applications").isDir())
        refreshMimeCache();
    QByteArray cacheBytes;
    if (m_manifest.contains("file " + cache) && readFile(cache, &cacheBytes) &&
        cacheBytes.trimmed() == "[MIME Cache]")
        QFile::remove(cache);
    // Folders made by registration, deepest first, when they are empty again.
    QStringList folders;
    for (const QString& line : m_manifest) {
        if (line.startsWith("dir "))
            folders << line.mid(4);
    }
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : folders)
        QDir().rmdir(folder);
    m_manifest.clear();
    return writeManifest(m_manifest) && ok;
}
