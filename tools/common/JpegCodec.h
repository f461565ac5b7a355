#pragma once

#include <QByteArray>
#include <QImage>

// JPEG reading and writing through libjpeg, with the colour profile carried over.
class JpegCodec
{
public:
    // Decodes RGB or greyscale JPEG data into Format_RGB888 or Format_Grayscale8. When the longest
    // side is above minLongSide, the decoder already scales down by 1/2, 1/4 or 1/8 as far as the
    // result stays at least minLongSide long (0: full size). Returns a null image for damaged data
    // and for CMYK pictures, which are left as they are. The size stored in the header goes to
    // *fullSize, the embedded ICC profile to *iccProfile.
    static QImage decode(const QByteArray& data, int minLongSide, QSize* fullSize, QByteArray* iccProfile);

    enum class Scan { Baseline, Progressive };

    // Optimised JPEG at the given quality (1..100) with the ICC profile (may be empty). Progressive
    // scans are a little smaller; baseline ones are quicker to write. Returns empty data on failure.
    static QByteArray encode(const QImage& image, int quality, const QByteArray& iccProfile,
                             Scan scan = Scan::Progressive);
    // Baseline CMYK JPEG, uninverted, from C, M and Y in an RGB888 image and K in a Grayscale8 image
    // of the same size (Qt has no four-channel format that scales without taking one for alpha).
    // Returns empty data on failure.
    static QByteArray encodeCmyk(const QImage& cmy, const QImage& black, int quality);
};
