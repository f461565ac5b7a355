#include "HistoryFile.h"

#include <mutex>
#include <unistd.h>

#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "FileIdentity.h"
#include "FileLock.h"
#include "FilePlacement.h"
#include "JsonQt.h"
#include "Tool.h"

namespace
{
// How often a reader reads the file anew when this program's writer replaced it meanwhile, before it
// reads once more with the writer held off.
const int kFreeReads = 3;

// The history as last read or written by this program, with the identity of the file it is: while
// the file keeps that identity (no other program wrote it), a change starts from this root instead of
// reading and parsing the whole file again. `generation` counts this program's settled changes.
struct HistoryCache {
    std::mutex mutex;
    QString file;
    FileIdentity identity;
    Json::Value root;
    quint64 generation = 0;

    bool holds(const QString& path) const
    {
        return path == file && identity.isValid() && FileIdentity::of(path) == identity;
    }
};

HistoryCache& historyCache()
{
    // Never destroyed: the writer's thread may still finish its last change while the program exits.
    static HistoryCache* cache = new HistoryCache;
    return *cache;
}

QByteArray textOf(const Json::Value& root)
{
    return QString::fromStdString(Json::StyledWriter().write(root)).toLocal8Bit();
}

// Of a history object only the member `key`, so that a reader copies one kind, not all five.
Json::Value keyOf(const Json::Value& root, const QString& key)
{
    if (!root.isObject())
        return root;
    Json::Value part(Json::objectValue);
    if (!key.isEmpty() && JsonQt::contains(root, key))
        JsonQt::at(part, key) = JsonQt::at(root, key);
    return part;
}

// As keyOf, taking the member out of a root that is not needed any more instead of copying it.
Json::Value takeKey(Json::Value& root, const QString& key)
{
    if (!root.isObject())
        return root;
    Json::Value part(Json::objectValue);
    if (!key.isEmpty() && JsonQt::contains(root, key))
        JsonQt::at(part, key).swap(JsonQt::at(root, key));
    return part;
}
} // namespace

QString HistoryFile::lockPath()
{
    return QFileInfo(Tool::logFilePath()).absolutePath() + "/history.lock";
}

HistoryFile::Loaded HistoryFile::load(const QString& file, Json::Value& root)
{
    Loaded loaded;
    QFile input(file);
    loaded.opened = input.open(QIODevice::ReadOnly);
    // An unreadable file parses as empty text, which fails with the reader's message.
    const std::string text =
        loaded.opened ? QString::fromLocal8Bit(input.readAll()).toStdString() : std::string();
    Json::Reader reader;
    loaded.parsed = reader.parse(text, root, true);
    // The reader's message spans several lines; the log keeps one line per event.
    if (!loaded.parsed)
        loaded.errorText = QString::fromStdString(reader.getFormattedErrorMessages()).simplified();
    return loaded;
}

bool HistoryFile::write(const QString& file, const Json::Value& root)
{
    const QByteArray bytes = textOf(root);
    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly))
        return false;
    const qint64 written = output.write(bytes);
    // A short write (full disk, size limit) shows only in flush(): Qt's commit() does not see it.
    if (written < 1 || written != bytes.size() || !output.flush())
        return false; // the temporary file is dropped, the old file stays
    return output.commit();
}

bool HistoryFile::create(const QString& file, const Json::Value& root)
{
    if (QFile::exists(file))
        return true;
    // Written whole under a name of this program's own, then given the file's name only where
    // nothing stands: no lock is needed, and a file that another window has just made is kept.
    const QString passing = FilePlacement::passingName(QFileInfo(file).absoluteFilePath());
    QFile::remove(passing); // a leftover of an earlier program that had this process id
    QFile output(passing);
    if (!output.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const QByteArray bytes = textOf(root);
    const bool whole = output.write(bytes) == bytes.size() && output.flush() && ::fsync(output.handle()) == 0;
    output.close();
    const FilePlacement::NewName placed =
        whole ? FilePlacement::moveToNew(passing, file) : FilePlacement::NewName::Failed;
    if (placed != FilePlacement::NewName::Placed)
        QFile::remove(passing);
    return placed != FilePlacement::NewName::Failed;
}

HistoryFile::Outcome HistoryFile::change(const QString& file, int lockWaitMs,
                                         const std::function<bool(Json::Value&, const Loaded&)>& change,
                                         const std::function<void(Outcome)>& settled)
{
    const FileLock lock(lockPath(), lockWaitMs);
    if (lock.isBusy())
        return Outcome::Busy;
    HistoryCache& cache = historyCache();
    std::lock_guard<std::mutex> guard(cache.mutex);
    ++cache.generation;
    if (!lock.isLocked()) {
        if (settled)
            settled(Outcome::NoLock);
        return Outcome::NoLock;
    }
    const QString path = QFileInfo(file).absoluteFilePath();
    Loaded loaded;
    if (!cache.holds(path)) {
        const FileIdentity now = FileIdentity::of(path);
        cache.file = path;
        cache.identity = FileIdentity();
        cache.root = Json::Value();
        loaded = load(path, cache.root);
        if (loaded.parsed)
            cache.identity = now;
    }
    Outcome outcome = Outcome::Unchanged;
    if (change(cache.root, loaded)) {
        if (write(path, cache.root)) {
            cache.identity = FileIdentity::of(path);
            outcome = Outcome::Written;
        } else {
            cache.identity = FileIdentity(); // the disk holds the old content
            outcome = Outcome::WriteFailed;
        }
    }
    if (settled)
        settled(outcome);
    return outcome;
}

Json::Value HistoryFile::readKey(const QString& file, const QString& key, Loaded* loaded,
                                 const std::function<void()>& steady)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    HistoryCache& cache = historyCache();
    for (int attempt = 0; attempt < kFreeReads; ++attempt) {
        quint64 generation = 0;
        {
            std::lock_guard<std::mutex> guard(cache.mutex);
            if (cache.holds(path)) {
                *loaded = Loaded();
                steady();
                return keyOf(cache.root, key);
            }
            generation = cache.generation;
        }
        // Read with no lock held: the writer keeps on writing meanwhile, and if it replaces the file
        // the read is not known to match what waits, so it is made again.
        Json::Value root;
        const Loaded read = load(path, root);
        std::lock_guard<std::mutex> guard(cache.mutex);
        if (cache.generation == generation) {
            *loaded = read;
            steady();
            return takeKey(root, key);
        }
    }
    std::lock_guard<std::mutex> guard(cache.mutex);
    Json::Value root;
    *loaded = load(path, root);
    steady();
    return takeKey(root, key);
}
