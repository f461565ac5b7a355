#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Hands out the output paths of one run, so that two files of the run never write the same output
// and no output replaces a file that is queued as an input. A wanted path that is free is given as
// it stands; a taken one gets a number before its extension: "c_x.png", then "c_x_2.png",
// "c_x_3.png", ... Paths are compared as absolute, cleaned paths (without regard to case where the
// file system ignores it). One process-wide set, for the GUI thread.
class OutputPaths
{
public:
    // Forgets every claim and protection: the start of a new run.
    static void reset();
    // Marks the queued inputs: no output may take their paths.
    static void protect(const QStringList& inputs);
    // The path the job is to write: `wanted`, or the first numbered variant that is free. Claimed for
    // the rest of the run.
    static QString claim(const QString& wanted);
    // Gives a claimed path back, for a job of the run that is to write its output again.
    static void release(const QString& path);

    // `path` with "_<number>" put before its extension (after the whole name when it has none).
    static QString numbered(const QString& path, int number);

private:
    static QString keyOf(const QString& path);
    static bool isTaken(const QString& key);

    static QSet<QString> s_claimed;
    static QSet<QString> s_protected;
};
