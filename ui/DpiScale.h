#pragma once

#include <QString>

// Process-wide display factor (1.0, 1.25, 1.5, 1.75 or 2.0), set once at start-up.
extern float dpiScale;

void initDpiScale();
// The factor for a logical DPI, stepped at the strict thresholds 1.1, 1.4, 1.6 and 1.8.
float dpiScaleFor(double logicalDpi);
bool floatEquals(float a, float b, float epsilon);
int scalePixels(int px);
int scaleFontSize(int px);
void replaceWhileFound(QString& text, const QString& from, const QString& to);
void scaleStyleSheet(QString& css);
QString readStyleSheet(const QString& path);
