#include "DpiScale.h"

#include <cmath>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>

float dpiScale = 1.0f;

namespace
{
const int kFontSizes[] = {26, 24, 22, 20, 18, 16, 15, 14, 13, 12};
}

float dpiScaleFor(double logicalDpi)
{
    const float ratio = float(logicalDpi / 96.0);
    const double widened = ratio;
    if (widened < 1.1)
        return 1.0f;
    if (widened < 1.4)
        return 1.25f;
    if (widened < 1.6)
        return 1.5f;
    if (widened < 1.8)
        return 1.75f;
    return 2.0f;
}

void initDpiScale()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    dpiScale = dpiScaleFor(screens.first()->logicalDotsPerInch());
}

bool floatEquals(float a, float b, float epsilon)
{
    return std::fabs(a - b) < epsilon;
}

int scalePixels(int px)
{
    return qRound(px * dpiScale);
}

int scaleFontSize(int px)
{
    return int(float(px) * dpiScale);
}

void replaceWhileFound(QString& text, const QString& from, const QString& to)
{
    if (from.isEmpty())
        return;
    if (to.contains(from)) {
        // Searching again from the start would find `from` inside each replacement for ever.
        text.replace(from, to, Qt::CaseSensitive);
        return;
    }
    int position = text.indexOf(from, 0, Qt::CaseSensitive);
    while (position >= 0) {
        text.replace(position, from.size(), to);
        position = text.indexOf(from, 0, Qt::CaseSensitive);
    }
}

void scaleStyleSheet(QString& css)
{
    if (floatEquals(dpiScale, 1.0f, 1e-7f))
        return;
    for (int size : kFontSizes) {
        const QString from = QString("font-size: %1px;").arg(size);
        const QString to = QString("font-size: %1px;").arg(scaleFontSize(size), 0, 10, QChar(' '));
        replaceWhileFound(css, from, to);
    }
}

QString readStyleSheet(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString css = QString::fromUtf8(file.readAll());
    scaleStyleSheet(css);
    file.close();
    return css;
}
