#pragma once

#include <QByteArray>
#include <QImage>

// Baseline JPEG through libjpeg. Takes an 8-bit grey or 24-bit RGB image.
class JpegEncoder
{
public:
    // Empty on failure (wrong format, encoder error).
    static QByteArray encode(const QImage& image, int quality);
};
