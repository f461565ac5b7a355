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

ProgressReport ProgressReport::last(const QSignalSpy& spy)
{
    return at(spy, spy.count() - 1);
}

QList<ProgressReport> ProgressReport::all(const QSignalSpy& spy)
{
    QList<ProgressReport> reports;
    for (int i = 0; i < spy.count(); ++i)
        reports.append(at(spy, i));
    return reports;
}

int ProgressReport::firstFinal(const QSignalSpy& spy)
{
    for (int i = 0; i < spy.count(); ++i) {
        if (isFinal(spy.at(i)))
            return i;
    }
    return -1;
}

bool ProgressReport::hasFinal(const QSignalSpy& spy)
{
    return firstFinal(spy) >= 0;
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
