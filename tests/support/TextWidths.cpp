#include "TextWidths.h"

QString TextWidths::nameOfWidth(const QFontMetrics& metrics, int width, const QString& suffix)
{
    for (const QString& body :
         {QString("i"), QString("l"), QString("a"), QString("W"), QString::fromUtf8("图")}) {
        for (int n = 0; n < 60; ++n) {
            for (int m = 0; m < 60; ++m) {
                const QString candidate = body.repeated(n) + QString("x").repeated(m) + suffix;
                if (metrics.horizontalAdvance(candidate) == width)
                    return candidate;
            }
        }
    }
    return QString();
}
