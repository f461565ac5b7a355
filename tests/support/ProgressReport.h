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
    // Whether the recorded arguments are a final report (a failure or a result).
    static bool isFinal(const QList<QVariant>& arguments);

    bool operator==(const ProgressReport& other) const;

    float progress;
    bool stat;
    QString filePath;
    float rate;
};
