#include "ProgressReport.h"

#include <QSignalSpy>

ProgressReport::ProgressReport(float progress, bool stat, const QString& filePath, float rate)
    : progress(progress)
    , stat(stat)
    , filePath(filePath)
    , rate(rate)
{
}

ProgressReport ProgressReport::at(const QSignalSpy& spy, int index)
{
    const QList<QVariant>& arguments = spy.at(index);
    return ProgressReport(arguments[0].toFloat(), arguments[1].toBool(), arguments[2].toString(),
                          arguments[3].toFloat());
}

bool ProgressReport::isFinal(const QList<QVariant>& arguments)
{
    return arguments[0].toFloat() < 0 || arguments[1].toBool();
}

bool ProgressReport::operator==(const ProgressReport& other) const
{
    return progress == other.progress && stat == other.stat && filePath == other.filePath &&
           rate == other.rate;
}
