#pragma once

#include <atomic>

#include <QString>
#include <QtGlobal>

// Puts a finished file onto its final name so that the final name never holds half a file: it holds
// what it held before, or the whole new file. On one file system that is a rename, which replaces the
// old file at once. Across file systems the bytes are copied to the passing name beside the final
// one ("<final>.<pid>.tmp"), which is renamed over the final name once complete. A symbolic link at
// the final name is replaced, never written through, and the passing name is always made new. The
// engines and the tools share it, and with it the passing name's pattern. Any thread; Qt Core only,
// so the tools link it without the rest of the core.
class FilePlacement
{
public:
    enum class NewName {
        Placed, // the file is at the new name
        Taken,  // something stood at the name already and was left as it was; `from` is still there
        Failed  // nothing was placed; `from` is still there
    };

    // Moves `from` onto `to`, replacing what `to` held. False when it could not: `to` as it was,
    // `from` still there, no passing file left. `stop` as for copy, which a move across file systems is.
    static bool move(const QString& from, const QString& to, const std::atomic_bool* stop = nullptr);
    // Puts a copy of from's bytes at `to` through the passing name, replacing what `to` held; `from`
    // stays. False as for move. When `stop` is given and becomes true (from any thread) the copy gives
    // up at the next chunk, without its last flush to the disk, and returns false as well.
    static bool copy(const QString& from, const QString& to, const std::atomic_bool* stop = nullptr);

    // As move and copy, but `to` is taken only where nothing is: what stands there, even a file that
    // appeared a moment ago (another program's), is never replaced.
    static NewName moveToNew(const QString& from, const QString& to, const std::atomic_bool* stop = nullptr);
    static NewName copyToNew(const QString& from, const QString& to, const std::atomic_bool* stop = nullptr);

    // "<path>.<pid>.tmp": where the process `pid` writes `path` before the file is complete.
    static QString passingName(const QString& path, qint64 pid);
    // The passing name of this process.
    static QString passingName(const QString& path);

private:
    static bool renameOver(const QString& from, const QString& to);
    // Renames without replacing; errno tells why not (EEXIST: the name is taken, EXDEV: another file
    // system).
    static bool renameToNew(const QString& from, const QString& to);
    static bool writeCopy(const QString& from, const QString& to, const std::atomic_bool* stop);
};
