#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class QSignalSpy;

// One Progress report as a spy on sig_sendProgress recorded it.
class ProgressReport
{
public:
    ProgressReport(float progress, bool stat, const QString& filePath, float rate);
    // The report that `spy` recorded at `index`.
    static ProgressReport at(const QSignalSpy& spy, int index);
    // The last report that `spy` recorded; the spy must not be empty.
    static ProgressReport last(const QSignalSpy& spy);
    // Every report that `spy` recorded, in order.
    static QList<ProgressReport> all(const QSignalSpy& spy);
    // Index of the first final report that `spy` recorded, -1 while there is none.
    static int firstFinal(const QSignalSpy& spy);
    // Whether `spy` has recorded a final report.
    static bool hasFinal(const QSignalSpy& spy);
    // Whether the recorded arguments are a final report (a failure or a result).
    static bool isFinal(const QList<QVariant>& arguments);

    bool operator==(const ProgressReport& other) const;

    float progress;
    bool stat;
    QString filePath;
    float rate;
};
