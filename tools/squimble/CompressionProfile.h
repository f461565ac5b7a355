#pragma once

// What one compression level does to the pictures of a package: the longest side a picture may
// keep, the JPEG quality it is written at, and whether PNG pictures are reduced to a palette.
class CompressionProfile
{
public:
    // 0 clarity first, 1 normal, 2 smallest; any other value gives the clarity-first profile.
    static CompressionProfile forLevel(int level);

    int maxSide() const { return m_maxSide; }
    int jpegQuality() const { return m_jpegQuality; }
    bool quantizePng() const { return m_quantizePng; }
    int paletteQualityMin() const { return m_paletteQualityMin; }
    int paletteQualityMax() const { return m_paletteQualityMax; }

private:
    CompressionProfile(int maxSide, int jpegQuality, bool quantizePng, int paletteQualityMin,
                       int paletteQualityMax);

    int m_maxSide;
    int m_jpegQuality;
    bool m_quantizePng;
    int m_paletteQualityMin;
    int m_paletteQualityMax;
};
