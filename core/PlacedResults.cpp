#include "PlacedResults.h"

#include <mutex>

#include <json/reader.h>
#include <json/writer.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include "FileIdentity.h"
#include "FileLock.h"
#include "PathKey.h"
#include "Tool.h"

namespace
{
struct Placed {
    QString input; // the input's canonical path when it was placed
    FileIdentity identity;
};

// The record as last read or written, and the identity of the file it came from: a file with another
// identity was written by another program since, and is read again.
struct Cache {
    std::mutex mutex;
    QString file;
    FileIdentity fileIdentity;
    QHash<QString, Placed> results; // by the output's PathKey
};

Cache& cache()
{
    // Never destroyed: a settling thread may still place a result while the program exits.
    static Cache* instance = new Cache;
    return *instance;
}

QString inputKey(const QString& input)
{
    return QFileInfo(input).canonicalFilePath();
}

QHash<QString, Placed> parse(const QByteArray& bytes)
{
    QHash<QString, Placed> results;
    Json::Value root;
    Json::Reader reader;
    if (!reader.parse(bytes.toStdString(), root, false) || !root.isObject())
        return results;
    const Json::Value list = root.get("results", Json::Value());
    if (!list.isArray())
        return results;
    for (const Json::Value& entry : list) {
        if (!entry.isObject())
            continue;
        const QString output = QString::fromStdString(entry.get("output", "").asString());
        const FileIdentity identity(entry.get("device", 0).asInt64(), entry.get("inode", 0).asInt64(),
                                    entry.get("size", 0).asInt64(), entry.get("modified", 0).asInt64());
        if (!output.isEmpty() && identity.isValid())
            results.insert(output,
                           Placed{QString::fromStdString(entry.get("input", "").asString()), identity});
    }
    return results;
}

QByteArray serialise(const QHash<QString, Placed>& results)
{
    Json::Value list(Json::arrayValue);
    for (auto it = results.constBegin(); it != results.constEnd(); ++it) {
        Json::Value entry(Json::objectValue);
        entry["output"] = it.key().toStdString();
        entry["input"] = it.value().input.toStdString();
        entry["device"] = Json::Int64(it.value().identity.device());
        entry["inode"] = Json::Int64(it.value().identity.inode());
        entry["size"] = Json::Int64(it.value().identity.size());
        entry["modified"] = Json::Int64(it.value().identity.modifiedNs());
        list.append(entry);
    }
    Json::Value root(Json::objectValue);
    root["results"] = list;
    return QByteArray::fromStdString(Json::FastWriter().write(root));
}

// Brings the cache up to the file on the disk; the cache's mutex is held.
void refresh(Cache& cached)
{
    const QString file = PlacedResults::filePath();
    const FileIdentity now = FileIdentity::of(file);
    if (file == cached.file && now == cached.fileIdentity)
        return;
    QFile source(file);
    cached.results = source.open(QIODevice::ReadOnly) ? parse(source.readAll()) : QHash<QString, Placed>();
    cached.file = file;
    cached.fileIdentity = now;
}
} // namespace

QString PlacedResults::filePath()
{
    return QFileInfo(Tool::logFilePath()).absolutePath() + "/results.json";
}

std::unique_ptr<FileLock> PlacedResults::lock()
{
    return std::make_unique<FileLock>(filePath() + ".lock");
}

bool PlacedResults::holdsOwn(const QString& output, const QString& input)
{
    const QString wanted = inputKey(input);
    if (wanted.isEmpty())
        return false;
    Cache& cached = cache();
    std::lock_guard<std::mutex> guard(cached.mutex);
    refresh(cached);
    const auto found = cached.results.constFind(PathKey::of(output));
    return found != cached.results.constEnd() && found->input == wanted &&
           found->identity == FileIdentity::of(output);
}

bool PlacedResults::record(const QString& output, const QString& input)
{
    const FileIdentity identity = FileIdentity::of(output);
    if (!identity.isValid())
        return false;
    Cache& cached = cache();
    std::lock_guard<std::mutex> guard(cached.mutex);
    refresh(cached);
    cached.results.insert(PathKey::of(output), Placed{inputKey(input), identity});
    QSaveFile file(cached.file);
    const QByteArray bytes = serialise(cached.results);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        cached.fileIdentity = FileIdentity(); // read again next time: the disk holds the old record
        return false;
    }
    cached.fileIdentity = FileIdentity::of(cached.file);
    return true;
}
