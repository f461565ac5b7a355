#pragma once

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

// Hands out the output paths, so that a result replaces only what this program wrote for the same
// input. A wanted path is given as it stands when nothing is there, or when the record of placed
// results (PlacedResults) holds the file there, unchanged, as this input's result (a second run
// replaces its own earlier result). Any other file at that name is the user's and stays: the result
// takes a number before its extension, as it does when two files of one run would share a name or an
// output would replace a queued input: "c_x.png", then "c_x_2.png", "c_x_3.png", ... Paths are compared
// as files (PathKey), not as text. One process-wide set, for any thread: the window claims, and a
// result that finds its name taken when it is placed asks for the next one (next()).
class OutputPaths
{
public:
    // Forgets every claim and protection: the start of a new run.
    static void reset();
    // Marks the queued inputs: no output may take their paths.
    static void protect(const QStringList& inputs);
    // The path the job for `input` is to write: `wanted`, or the first numbered variant that is free
    // for it. Claimed for the rest of the run.
    static QString claim(const QString& wanted, const QString& input);
    // Gives a claimed path back, for a job of the run that is to write its output again.
    static void release(const QString& path);
    // The path after `taken`, a claimed path that another program took meanwhile: the next numbered
    // variant of the path that was wanted, free for `input`. `taken` stays claimed.
    static QString next(const QString& taken, const QString& input);

    // `path` with "_<number>" put before its extension (after the whole name when it has none).
    static QString numbered(const QString& path, int number);

private:
    static QString claimLocked(const QString& wanted, const QString& input);
    static bool isFreeFor(const QString& path, const QString& input);

    static QMutex s_mutex;
    static QSet<QString> s_claimed;
    static QSet<QString> s_protected;
    static QHash<QString, QString> s_wanted; // the path each claimed one was wanted as, by key
};
