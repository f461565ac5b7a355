#pragma once

#include <functional>

#include <QString>

namespace Json
{
class Value;
}

// A history file as this program shares it between its threads and with other programs. It is
// replaced whole in one step (a temporary file renamed over it), so at any moment it holds a whole
// version and can be read without a lock. Changes are made under a lock held between programs
// ("history.lock" beside the log), so none is lost; the content last read or written is kept while
// the file stays as it was, so a long history is not read again for every change. Any thread.
class HistoryFile
{
public:
    // How the file read.
    struct Loaded {
        bool opened = true;
        bool parsed = true;
        QString errorText; // the reader's message, on one line
    };

    enum class Outcome {
        Busy,       // another program holds the lock; nothing was read or changed
        NoLock,     // the lock file cannot be opened
        Unchanged,  // `change` chose to leave the file as it is
        Written,    // the changed content is in the file
        WriteFailed // the file is as it was
    };

    // Runs `change` on the root of `file` and writes the root back whole when it returns true, under
    // the lock between programs, waiting at most `lockWaitMs` for another holder. `settled` runs
    // with the outcome (not for Busy) before anyone of this program can read the file again: what
    // it drops from a list of changes still waiting is, for every reader, either in the file or
    // waiting, never both nor neither.
    static Outcome change(const QString& file, int lockWaitMs,
                          const std::function<bool(Json::Value& root, const Loaded& loaded)>& change,
                          const std::function<void(Outcome)>& settled = nullptr);

    // The root of `file` as it stands, read without the lock; of a history object only the member
    // `key`. `steady` runs at a moment when that content is what the file holds for this program's
    // changes: a change still waiting then is not in it, and a change in it no longer waits.
    static Json::Value readKey(const QString& file, const QString& key, Loaded* loaded,
                               const std::function<void()>& steady);

    // Creates `file` with `root` where nothing stands: a file that another program made meanwhile
    // is kept. False when the file could be neither made nor found.
    static bool create(const QString& file, const Json::Value& root);

    // Writes `root` whole to `file`, replacing it in one step; false, and the file as it was, when
    // the whole text could not be written.
    static bool write(const QString& file, const Json::Value& root);
    // Reads and parses the JSON file `file` in the local 8-bit code page (as the history is written).
    static Loaded load(const QString& file, Json::Value& root);

    static QString lockPath();
};
