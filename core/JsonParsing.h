#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <json/value.h>

#include "VideoInfo.h"

// The program's JSON layer: the per-kind history file "history.json" in the working folder, and
// the MediaInfo JSON report read into a VideoInfo. Every operation is static and keeps no state.
//
// The history file is one object with the arrays "video", "image", "pdf", "ppt" and "word"
// (kind index 0 video, 1 image, 2 ppt, 3 pdf, 4 word), each holding {"date", "inFilePath",
// "outFilePath"} entries, oldest first. It is written in the local 8-bit code page and replaced
// as a whole through a temporary file, so an interrupted write leaves the previous file intact.
// Several programs may share it: every change is made under a lock held between programs (FileLock,
// "history.lock" beside the log), so none is lost, and the content last read or written is kept
// while the file stays as it was, so a long history is not read again for every entry. The window
// hands its entries to HistoryWriter, which writes them on a thread of its own.
class JsonParsing : public QObject
{
    Q_OBJECT
public:
    explicit JsonParsing(QObject* parent = nullptr);

    // Creates "history.json" with five empty arrays when it is missing; an existing file is left
    // as it is. False when the new file could not be written.
    static bool initHistory();
    // Appends one entry to the kind's array of "history.json". False when the file is missing,
    // unreadable, not a history file or cannot be written; the file is then left as it was.
    static bool addHistory(const int& kind, QString date, QString inFilePath, QString outFilePath);
    // Runs `change` on the root of "history.json" and writes the root back whole, all under the lock
    // between programs; `change` returns false to leave the file as it is. False when the file is
    // missing, unreadable or not a history object, or cannot be written; the file is then left as it was.
    static bool changeHistory(const std::function<bool(Json::Value& root)>& change);
    // The kind's entries of `fileName`, each as [date, inFilePath, outFilePath]. Entries that this
    // program handed to HistoryWriter are written first.
    static QList<QStringList> readHistory(const int& kind, QString fileName);
    // Empties the kind's array of `fileName`; a file that cannot be read is left as it is.
    static void clearHistory(QString fileName, const int& kind);
    // Fills `info` from a MediaInfo JSON report; false (and `info` untouched) when the file is
    // missing, malformed or has no "media" object with a "track" array.
    static bool parseMediaInfo(VideoInfo& info, QString jsonPath);

    // The entries of the array member `key` of `root`; anything but an array gives none.
    static QList<QStringList> readEntries(const Json::Value& root, const QString& key);
    // Names `to` as the output of the latest entry of `key` that gives `from` as the output of `input`.
    static void replaceOutput(Json::Value& root, const QString& key, const QString& input,
                              const QString& from, const QString& to);
    // Appends one entry to the member `key` of `root` (a missing member becomes an array).
    static void appendEntry(Json::Value& root, const QString& key, QString date, QString inFilePath,
                            QString outFilePath);
};
