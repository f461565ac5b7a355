#include "JsonParsing.h"

#include <mutex>

#include <json/reader.h>
#include <json/writer.h>

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "FileIdentity.h"
#include "FileLock.h"
#include "HistoryWriter.h"
#include "JsonQt.h"
#include "Kind.h"
#include "Tool.h"

namespace
{
const char* const kHistoryFile = "history.json";

// The file's bytes, taken in the local 8-bit code page, as the UTF-8 text the reader expects.
// Empty when the file cannot be opened (`opened` then false).
std::string readLocalText(const QString& fileName, bool* opened)
{
    QFile file(fileName);
    *opened = file.open(QIODevice::ReadOnly);
    if (!*opened)
        return std::string();
    const QByteArray bytes = file.readAll();
    file.close();
    return QString::fromLocal8Bit(bytes).toStdString();
}

bool parseText(const std::string& text, Json::Value& root, QString* errorText)
{
    Json::Reader reader;
    if (reader.parse(text, root, true))
        return true;
    // The reader's message spans several lines; the log keeps one line per event.
    *errorText = QString::fromStdString(reader.getFormattedErrorMessages()).simplified();
    return false;
}

// Reads and parses the JSON file; `opened` tells whether the file could be read at all (an unreadable
// file parses as empty text, which fails with the reader's message).
bool loadJson(const QString& fileName, Json::Value& root, bool* opened, QString* errorText)
{
    return parseText(readLocalText(fileName, opened), root, errorText);
}

// Writes the styled text of `root` in the local 8-bit code page. The new text goes to a temporary
// file beside the old one and replaces it only when it is complete, so a crash or a full disk
// leaves the previous file as it was.
bool writeRoot(const QString& fileName, const Json::Value& root)
{
    Json::StyledWriter writer;
    const QByteArray bytes = QString::fromStdString(writer.write(root)).toLocal8Bit();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 written = file.write(bytes);
    // A short write (full disk, size limit) shows only in flush(): Qt's commit() does not see it.
    if (written < 1 || written != bytes.size() || !file.flush())
        return false; // the temporary file is dropped, the old file stays
    return file.commit();
}

// True when `root` can take an entry of `key`: an object (or nothing) whose member is an array
// or missing. Any other shape would make the JSON library throw.
bool canAppend(const Json::Value& root, const QString& key)
{
    if (root.isNull())
        return true;
    if (!root.isObject())
        return false;
    if (!JsonQt::contains(root, key))
        return true;
    const Json::Value& member = JsonQt::at(root, key);
    return member.isNull() || member.isArray();
}

// How the history file read for a change.
struct Loaded {
    bool opened = true;
    bool parsed = true;
    QString errorText;
};

// The history as last read or written by this program, with the identity of the file it is: while
// the file keeps that identity (no other program wrote it), a change starts from this root instead of
// reading and parsing the whole file again.
struct HistoryCache {
    std::mutex mutex;
    QString file;
    FileIdentity identity;
    Json::Value root;
};

HistoryCache& historyCache()
{
    // Never destroyed: the writer's thread may still finish its last change while the program exits.
    static HistoryCache* cache = new HistoryCache;
    return *cache;
}

QString historyLockPath()
{
    return QFileInfo(Tool::logFilePath()).absolutePath() + "/history.lock";
}

// Runs `change` on the root of `fileName` and writes it back whole, under the lock between programs.
// `change` sees how the file read and returns false to leave it as it is.
bool changeFile(const QString& fileName, const std::function<bool(Json::Value&, const Loaded&)>& change)
{
    const FileLock lock(historyLockPath());
    if (!lock.isLocked()) {
        Tool::writeLog("history json fail: cannot lock " + historyLockPath());
        return false;
    }
    HistoryCache& cache = historyCache();
    std::lock_guard<std::mutex> guard(cache.mutex);
    const QString file = QFileInfo(fileName).absoluteFilePath();
    const FileIdentity now = FileIdentity::of(file);
    Loaded loaded;
    if (!now.isValid() || file != cache.file || now != cache.identity) {
        cache.file = file;
        cache.identity = FileIdentity();
        cache.root = Json::Value();
        loaded.parsed = loadJson(file, cache.root, &loaded.opened, &loaded.errorText);
        if (loaded.parsed)
            cache.identity = now;
    }
    if (!change(cache.root, loaded))
        return false;
    if (!writeRoot(file, cache.root)) {
        cache.identity = FileIdentity(); // the disk holds the old content
        return false;
    }
    cache.identity = FileIdentity::of(file);
    return true;
}

QString memberText(const Json::Value& object, const QString& key)
{
    if (!JsonQt::contains(object, key))
        return QString();
    return JsonQt::asQString(JsonQt::at(object, key));
}

int memberInt(const Json::Value& object, const QString& key)
{
    return memberText(object, key).toInt(nullptr, 10);
}

double memberDouble(const Json::Value& object, const QString& key)
{
    return memberText(object, key).toDouble();
}
} // namespace

JsonParsing::JsonParsing(QObject* parent)
    : QObject(parent)
{
}

bool JsonParsing::initHistory()
{
    // Under the lock: another window may be writing its first entries into a file it just made.
    const FileLock lock(historyLockPath());
    if (QFile::exists(kHistoryFile))
        return true;
    Json::Value root(Json::objectValue);
    for (int kind = 0; kind < Kind::Count; ++kind)
        root[Kind::historyKey(kind).toStdString()] = Json::Value(Json::arrayValue);
    return writeRoot(kHistoryFile, root);
}

bool JsonParsing::addHistory(const int& kind, QString date, QString inFilePath, QString outFilePath)
{
    return changeHistory([&](Json::Value& root) {
        const QString key = Kind::historyKey(kind);
        if (key.isEmpty())
            return true;
        if (!canAppend(root, key)) {
            qDebug().noquote() << QString("history json has no %1 array").arg(key);
            return false;
        }
        appendEntry(root, key, date, inFilePath, outFilePath);
        return true;
    });
}

bool JsonParsing::changeHistory(const std::function<bool(Json::Value& root)>& change)
{
    return changeFile(kHistoryFile, [&change](Json::Value& root, const Loaded& loaded) {
        if (!loaded.opened)
            return false;
        if (!loaded.parsed) {
            qDebug().noquote() << loaded.errorText;
            return false;
        }
        return change(root);
    });
}

QList<QStringList> JsonParsing::readHistory(const int& kind, QString fileName)
{
    HistoryWriter::instance().flush();
    bool opened = false;
    Json::Value root;
    QString errorText;
    const bool parsed = loadJson(fileName, root, &opened, &errorText);
    if (!opened)
        Tool::writeLog("parsing history json fail: can not open file");
    if (!parsed)
        Tool::writeLog("parsing history json fail: " + errorText);

    const QString key = Kind::historyKey(kind);
    if (key.isEmpty())
        return QList<QStringList>();
    return readEntries(root, key);
}

void JsonParsing::clearHistory(QString fileName, const int& kind)
{
    HistoryWriter::instance().flush();
    bool changed = false;
    const bool written = changeFile(fileName, [&changed, kind](Json::Value& root, const Loaded& loaded) {
        if (!loaded.opened)
            Tool::writeLog("parsing history json fail: can not open file");
        if (!loaded.parsed) {
            Tool::writeLog("parsing history json fail: " + loaded.errorText);
            // Whatever the reader left is at best a part of the file: writing it back would throw
            // away the other kinds' entries.
            return false;
        }
        if (!root.isObject() && !root.isNull()) {
            Tool::writeLog("parsing history json fail: not a history object");
            return false;
        }
        const QString key = Kind::historyKey(kind);
        if (!key.isEmpty())
            JsonQt::at(root, key) = Json::Value(Json::arrayValue);
        changed = true;
        return true;
    });
    if (changed && !written)
        Tool::writeLog("clear history json file fail");
}

bool JsonParsing::parseMediaInfo(VideoInfo& info, QString jsonPath)
{
    bool opened = false;
    Json::Value root;
    QString errorText;
    const bool parsed = loadJson(jsonPath, root, &opened, &errorText);
    if (!opened)
        return false;
    if (!parsed) {
        qDebug().noquote() << errorText;
        return false;
    }
    if (!JsonQt::contains(root, "media"))
        return false;
    const Json::Value& media = JsonQt::at(root, "media");
    if (!JsonQt::contains(media, "track"))
        return false;
    const Json::Value& tracks = JsonQt::at(media, "track");
    if (!tracks.isArray())
        return false;

    for (Json::ArrayIndex i = 0; i < tracks.size(); ++i) {
        const Json::Value& track = tracks[i];
        const QString type = memberText(track, "@type");
        if (type == "General") {
            info.fileSize = memberInt(track, "FileSize");
            info.duration = memberDouble(track, "Duration");
            info.fileExtension = memberText(track, "FileExtension");
        } else if (type == "Video") {
            info.frameRate = memberDouble(track, "FrameRate");
            info.videoDuration = memberDouble(track, "Duration");
            info.videoFormat = memberText(track, "Format");
            info.width = memberInt(track, "Width");
            info.height = memberInt(track, "Height");
            info.bitRate = memberInt(track, "BitRate");
        } else if (type == "Audio") {
            info.channels = memberInt(track, "Channels");
            info.audioDuration = memberDouble(track, "Duration");
            info.samplingRate = memberInt(track, "SamplingRate");
            info.audioFormat = memberText(track, "Format");
        }
    }
    return true;
}

QList<QStringList> JsonParsing::readEntries(const Json::Value& root, const QString& key)
{
    QList<QStringList> entries;
    if (!JsonQt::contains(root, key))
        return entries;
    const Json::Value& array = JsonQt::at(root, key);
    if (!array.isArray())
        return entries;
    for (Json::ArrayIndex i = 0; i < array.size(); ++i) {
        const Json::Value& entry = array[i];
        entries.append(QStringList{memberText(entry, "date"), memberText(entry, "inFilePath"),
                                   memberText(entry, "outFilePath")});
    }
    return entries;
}

void JsonParsing::replaceOutput(Json::Value& root, const QString& key, const QString& input,
                                const QString& from, const QString& to)
{
    if (!root.isObject() || !JsonQt::contains(root, key))
        return;
    Json::Value& array = JsonQt::at(root, key);
    if (!array.isArray())
        return;
    for (Json::ArrayIndex i = array.size(); i-- > 0;) {
        Json::Value& entry = array[i];
        if (memberText(entry, "inFilePath") == input && memberText(entry, "outFilePath") == from) {
            entry["outFilePath"] = JsonQt::fromQString(to);
            return;
        }
    }
}

void JsonParsing::appendEntry(Json::Value& root, const QString& key, QString date, QString inFilePath,
                              QString outFilePath)
{
    if (!canAppend(root, key))
        return;
    Json::Value entry(Json::objectValue);
    entry["date"] = JsonQt::fromQString(date);
    entry["inFilePath"] = JsonQt::fromQString(inFilePath);
    entry["outFilePath"] = JsonQt::fromQString(outFilePath);
    // Appended where it stands: a copy of the whole array for every entry would make a long history
    // cost the square of its length.
    Json::Value& member = JsonQt::at(root, key);
    if (member.isNull())
        member = Json::Value(Json::arrayValue);
    member.append(entry);
}
