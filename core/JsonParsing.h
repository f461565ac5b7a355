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
// as a whole in one step, so an interrupted write leaves the previous file intact and a reader needs
// no lock. Several programs may share it; HistoryFile makes every change under a lock held between
// programs. The window hands its entries and clears to HistoryWriter, which writes them on a thread
// of its own, so the window never waits for another program that holds the lock.
class JsonParsing : public QObject
{
    Q_OBJECT
public:
    explicit JsonParsing(QObject* parent = nullptr);

    // Creates "history.json" with five empty arrays when it is missing; an existing file, even one
    // that another program has just made, is left as it is. Takes no lock. False when the new file
    // could not be written.
    static bool initHistory();
    // Appends one entry to the kind's array of "history.json". False when the file is missing,
    // unreadable, not a history file or cannot be written; the file is then left as it was.
    static bool addHistory(const int& kind, QString date, QString inFilePath, QString outFilePath);
    // Runs `change` on the root of "history.json" and writes the root back whole, all under the lock
    // between programs (waiting for another holder: never on the window's thread); `change` returns
    // false to leave the file as it is. False when the file is missing, unreadable or cannot be
    // written, or `change` refused; the file is then left as it was.
    static bool changeHistory(const std::function<bool(Json::Value& root)>& change);
    // The kind's entries of `fileName`, each as [date, inFilePath, outFilePath]: the file as it
    // stands, read without the lock, with the changes that this program handed to HistoryWriter and
    // that are not written yet applied in order.
    static QList<QStringList> readHistory(const int& kind, QString fileName);
    // Empties the kind's array of `fileName` through HistoryWriter, in order with the entries handed in
    // before; returns at once. A file that cannot be read is left as it is (and the log says why).
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
