#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

class FileLock;

// What this program knows of its own results: for every result it placed, the result's path, the input
// it was made from, the identity of the file placed there (FileIdentity) and a digest of its bytes
// (SHA-256), which sees an edit that the identity cannot (one that keeps the size, on a file system
// whose file times are coarse). A result may replace the file at its name only when this record holds
// that very file, unchanged, as the same input's result; the history says which files were sent off,
// not what became of them. The record is one file in the program's own data folder, "results.jsonl"
// beside the log, so it does not depend on the folder the program was started from, and emptying the
// history leaves it: one JSON object per line, a result per line, a later line of one output standing
// for it, a damaged line costing only itself (a line that a crash cut short is ended before the next
// one). Every program that places a result does so under lock(), checks and adds its line in the same
// hold, in one write; once most lines are old the record is written anew, whole, in one step. What was
// read is kept, and only what another program added since is read, so a question costs a look-up
// however long the record. Any thread.
class PlacedResults
{
public:
    static QString filePath();

    // Held by whoever checks, places and records a result; not locked when it could not be had in time.
    static std::unique_ptr<FileLock> lock();
    // Whether the file at `output` is the one this program placed there as `input`'s result, and has
    // not changed since, as far as its identity tells: a quick look, for the window's thread.
    static bool holdsOwn(const QString& output, const QString& input);
    // The same, and its bytes still have the digest recorded (a record made before digests were kept
    // has the identity alone). Reads the whole file: for the thread that places, under lock().
    static bool holdsOwnUnchanged(const QString& output, const QString& input);
    // Records the file now at `output` as `input`'s result, under lock(), with `digest` (digestOf) of
    // its bytes, or of the file at `output` when none is given. False when the record could not be
    // written.
    static bool record(const QString& output, const QString& input, const QByteArray& digest = QByteArray());

    // The digest of the bytes of the file at `path` as 64 hexadecimal characters; empty when it is no
    // file or cannot be read.
    static QByteArray digestOf(const QString& path);
};
