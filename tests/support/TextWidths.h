#pragma once

#include <QFontMetrics>
#include <QString>

// File names of an exact rendered width, for the tests of where a name is elided.
class TextWidths
{
public:
    // A name ending in `suffix` that is exactly `width` pixels wide in `metrics`, or an empty text
    // when no mix of narrow, wide and Chinese characters reaches that width.
    static QString nameOfWidth(const QFontMetrics& metrics, int width, const QString& suffix);
};
