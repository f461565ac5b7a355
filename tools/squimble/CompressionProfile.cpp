#include "CompressionProfile.h"

CompressionProfile::CompressionProfile(int maxSide, int jpegQuality, bool quantizePng, int paletteQualityMin,
                                       int paletteQualityMax)
    : m_maxSide(maxSide)
    , m_jpegQuality(jpegQuality)
    , m_quantizePng(quantizePng)
    , m_paletteQualityMin(paletteQualityMin)
    , m_paletteQualityMax(paletteQualityMax)
{
}

CompressionProfile CompressionProfile::forLevel(int level)
{
    switch (level) {
    case 1:
        // Normal: full-HD pictures; a PNG becomes a palette image only where that looks the same.
        return CompressionProfile(1920, 75, true, 70, 95);
    case 2:
        // Smallest: pictures sized for a laptop screen, palette PNGs wherever the colours allow.
        return CompressionProfile(1280, 60, true, 40, 85);
    default:
        // Clarity first: only oversized pictures shrink; PNGs stay lossless.
        return CompressionProfile(2560, 85, false, 0, 100);
    }
}
