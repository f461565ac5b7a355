#include "PlacedResults.h"

#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <json/reader.h>
#include <json/writer.h>

#include <QCryptographicHash>
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
    QByteArray digest; // PlacedResults::digestOf; empty in a line written before digests were kept
};

// The record as far as it was read, and where: a record grows by one line per placed result, so
// what another program added since is read from where the last read ended, and a file of another
// identity (written anew) is read whole.
struct Cache {
    std::mutex mutex;
    QString file;
    qint64 inode = 0;
    qint64 readUpTo = 0;
    int lines = 0;
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

QByteArray lineOf(const QString& output, const Placed& placed)
{
    Json::Value entry(Json::objectValue);
    entry["output"] = output.toStdString();
    entry["input"] = placed.input.toStdString();
    entry["device"] = Json::Int64(placed.identity.device());
    entry["inode"] = Json::Int64(placed.identity.inode());
    entry["size"] = Json::Int64(placed.identity.size());
    entry["modified"] = Json::Int64(placed.identity.modifiedNs());
    if (!placed.digest.isEmpty())
        entry["sha256"] = placed.digest.toStdString();
    return QByteArray::fromStdString(Json::FastWriter().write(entry)); // one line, with its line feed
}

// Takes the complete lines of `bytes` into the cache; a later line of one output replaces an earlier
// one, and a line cut short (a program killed as it wrote) is passed over.
void takeLines(Cache& cached, const QByteArray& bytes)
{
    Json::Reader reader;
    for (const QByteArray& line : bytes.split('\n')) {
        Json::Value entry;
        if (line.isEmpty() || !reader.parse(line.toStdString(), entry, false) || !entry.isObject())
            continue;
        ++cached.lines;
        const QString output = QString::fromStdString(entry.get("output", "").asString());
        const FileIdentity identity(entry.get("device", 0).asInt64(), entry.get("inode", 0).asInt64(),
                                    entry.get("size", 0).asInt64(), entry.get("modified", 0).asInt64());
        const QByteArray digest = QByteArray::fromStdString(entry.get("sha256", "").asString());
        if (!output.isEmpty() && identity.isValid())
            cached.results.insert(
                output, Placed{QString::fromStdString(entry.get("input", "").asString()), identity, digest});
    }
}

// Brings the cache up to the file on the disk; the cache's mutex is held.
void refresh(Cache& cached)
{
    const QString file = PlacedResults::filePath();
    const FileIdentity now = FileIdentity::of(file);
    const bool grown = file == cached.file && now.inode() == cached.inode && now.size() >= cached.readUpTo;
    if (!grown) {
        cached.file = file;
        cached.inode = now.inode();
        cached.readUpTo = 0;
        cached.lines = 0;
        cached.results.clear();
    }
    if (!now.isValid() || now.size() == cached.readUpTo)
        return;
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly) || !source.seek(cached.readUpTo))
        return;
    QByteArray added = source.readAll();
    added.truncate(added.lastIndexOf('\n') + 1); // a line still being written is read next time
    takeLines(cached, added);
    cached.readUpTo += added.size();
}

// Whether the record open at `fd` is empty or ends with a line feed.
bool endsWithLineFeed(int fd)
{
    struct stat status {
    };
    if (::fstat(fd, &status) != 0)
        return false;
    char last = 0;
    return status.st_size == 0 || (::pread(fd, &last, 1, status.st_size - 1) == 1 && last == '\n');
}

// Writes the record anew with one line per result, in one step, once most of its lines are old.
void compact(Cache& cached)
{
    if (cached.lines < 2 * cached.results.size() + 1000)
        return;
    QByteArray bytes;
    for (auto it = cached.results.constBegin(); it != cached.results.constEnd(); ++it)
        bytes += lineOf(it.key(), it.value());
    QSaveFile file(cached.file);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
        cached.inode = FileIdentity::of(cached.file).inode();
        cached.readUpTo = bytes.size();
        cached.lines = cached.results.size();
    }
}
} // namespace

QString PlacedResults::filePath()
{
    return QFileInfo(Tool::logFilePath()).absolutePath() + "/results.jsonl";
}

std::unique_ptr<FileLock> PlacedResults::lock()
{
    return std::make_unique<FileLock>(filePath() + ".lock");
}

namespace
{
// What the record holds of the file now at `output` as `input`'s result, when it holds that very
// file, of the same identity.
bool recordedAs(const QString& output, const QString& input, Placed* placed)
{
    const QString wanted = inputKey(input);
    if (wanted.isEmpty())
        return false;
    Cache& cached = cache();
    std::lock_guard<std::mutex> guard(cached.mutex);
    refresh(cached);
    const auto found = cached.results.constFind(PathKey::of(output));
    if (found == cached.results.constEnd() || found->input != wanted ||
        found->identity != FileIdentity::of(output))
        return false;
    *placed = *found;
    return true;
}
} // namespace

bool PlacedResults::holdsOwn(const QString& output, const QString& input)
{
    Placed placed;
    return recordedAs(output, input, &placed);
}

bool PlacedResults::holdsOwnUnchanged(const QString& output, const QString& input)
{
    Placed placed;
    if (!recordedAs(output, input, &placed))
        return false;
    // Read outside the cache's lock: the window's thread asks holdsOwn meanwhile.
    return placed.digest.isEmpty() || digestOf(output) == placed.digest;
}

QByteArray PlacedResults::digestOf(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    // Read a block at a time: a result may be larger than memory.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
        return QByteArray();
    return hash.result().toHex();
}

bool PlacedResults::record(const QString& output, const QString& input, const QByteArray& digest)
{
    const Placed placed{inputKey(input), FileIdentity::of(output),
                        digest.isEmpty() ? digestOf(output) : digest};
    // A file that changed while it was read is no longer the one placed.
    if (!placed.identity.isValid() || placed.digest.isEmpty() || FileIdentity::of(output) != placed.identity)
        return false;
    Cache& cached = cache();
    std::lock_guard<std::mutex> guard(cached.mutex);
    refresh(cached);
    // One line, added in one write: a kill leaves the record as it was or with the whole line.
    const QString key = PathKey::of(output);
    QByteArray line = lineOf(key, placed);
    const int fd =
        ::open(QFile::encodeName(cached.file).constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // A line cut short by a crash or a full disk would swallow this one: it starts on a line of its own.
    if (!endsWithLineFeed(fd))
        line.prepend('\n');
    const bool written =
        ::write(fd, line.constData(), size_t(line.size())) == line.size() && ::fdatasync(fd) == 0;
    ::close(fd);
    if (!written)
        return false;
    refresh(cached);
    compact(cached);
    return true;
}
