#pragma once

#include <QImage>

// Reduces a true-colour picture to at most 256 colours (alpha included) with libimagequant.
class PaletteQuantizer
{
public:
    // Returns a Format_Indexed8 image, or a null image when the palette cannot reach
    // qualityMin (0..100) or the library fails.
    static QImage quantize(const QImage& image, int qualityMin, int qualityMax);
};
