#include "JsonParsing.h"

#include <vector>

#include <QDebug>
#include <QFile>

#include "FileLock.h"
#include "HistoryChange.h"
#include "HistoryFile.h"
#include "HistoryWriter.h"
#include "JsonQt.h"
#include "Kind.h"
#include "Tool.h"

namespace
{
const char* const kHistoryFile = "history.json";

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
    // No lock: the file is made under a name of its own and takes the history's name only where
    // nothing stands, so another window's new file is never replaced and no wait for another
    // program holds the window.
    if (QFile::exists(kHistoryFile))
        return true;
    Json::Value root(Json::objectValue);
    for (int kind = 0; kind < Kind::Count; ++kind)
        root[Kind::historyKey(kind).toStdString()] = Json::Value(Json::arrayValue);
    return HistoryFile::create(kHistoryFile, root);
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
    const HistoryFile::Outcome outcome = HistoryFile::change(
        kHistoryFile, FileLock::kWaitMs, [&change](Json::Value& root, const HistoryFile::Loaded& loaded) {
            if (!loaded.opened)
                return false;
            if (!loaded.parsed) {
                qDebug().noquote() << loaded.errorText;
                return false;
            }
            return change(root);
        });
    if (outcome == HistoryFile::Outcome::Busy || outcome == HistoryFile::Outcome::NoLock)
        Tool::writeLog("history json fail: cannot lock " + HistoryFile::lockPath());
    return outcome == HistoryFile::Outcome::Written;
}

QList<QStringList> JsonParsing::readHistory(const int& kind, QString fileName)
{
    // Read without the lock, as the file stands, with what this program handed to HistoryWriter and
    // is not written yet applied on the copy: another program's lock never holds the window.
    const QString key = Kind::historyKey(kind);
    HistoryFile::Loaded loaded;
    std::vector<HistoryChange> waiting;
    Json::Value root = HistoryFile::readKey(fileName, key, &loaded,
                                            [&] { waiting = HistoryWriter::instance().waiting(fileName); });
    if (!loaded.opened)
        Tool::writeLog("parsing history json fail: can not open file");
    if (!loaded.parsed)
        Tool::writeLog("parsing history json fail: " + loaded.errorText);
    if (key.isEmpty())
        return QList<QStringList>();
    if (loaded.opened && loaded.parsed) {
        for (const HistoryChange& change : waiting)
            change.applyTo(root);
    }
    return readEntries(root, key);
}

void JsonParsing::clearHistory(QString fileName, const int& kind)
{
    // In order with the entries handed in before, and written when the lock is free.
    HistoryWriter::instance().clear(fileName, kind);
}

bool JsonParsing::parseMediaInfo(VideoInfo& info, QString jsonPath)
{
    Json::Value root;
    const HistoryFile::Loaded loaded = HistoryFile::load(jsonPath, root);
    if (!loaded.opened)
        return false;
    if (!loaded.parsed) {
        qDebug().noquote() << loaded.errorText;
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
