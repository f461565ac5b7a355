#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Hands out the output paths, so that a result replaces only what this program wrote for the same
// input. A wanted path is given as it stands when nothing is there, or when the history file records
// the file there as an output of this input (a second run replaces its own earlier result). Any other
// file at that name is the user's and stays: the result takes a number before its extension, as it
// does when two files of one run would share a name or an output would replace a queued input:
// "c_x.png", then "c_x_2.png", "c_x_3.png", ... Paths are compared as files (PathKey), not as text.
// One process-wide set, for the GUI thread.
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

    // `path` with "_<number>" put before its extension (after the whole name when it has none).
    static QString numbered(const QString& path, int number);

private:
    static bool isFreeFor(const QString& path, const QString& input);
    static bool isRecordedOutputOf(const QString& path, const QString& input);

    static QSet<QString> s_claimed;
    static QSet<QString> s_protected;
};
