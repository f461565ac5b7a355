#pragma once

#include <QByteArray>
#include <QImage>

#include "MuPdfSession.h"

// Re-encodes the raster images of a PDF as JPEG at a quality from 1 (smallest) to 100 (best),
// shrinking those larger than the quality allows. Each stays in its own colour space (grey, RGB or
// CMYK, with its ICC profile where it has one), so it looks as before in a colour-managed viewer.
// Bilevel images, masks, images with a colour-key mask and those in spot colours or Lab keep their
// coding; an image whose new coding is not smaller keeps its old one.
class PdfImageRecompressor
{
public:
    PdfImageRecompressor(MuPdfSession& session, int quality);

    // Returns how many images were replaced.
    int run(pdf_document* document);

    // The JPEG quality and the longest side in pixels used for a given quality.
    static int jpegQualityFor(int quality);
    static int longestSideFor(int quality);

private:
    bool recompress(pdf_document* document, int number);
    // JPEG of the 8-bit samples (1, 3 or 4 channels), shrunk to the quality's longest side; the
    // stored size goes to *size.
    QByteArray encodeSamples(fz_pixmap* pixels, int channels, QSize* size) const;
    QImage fitted(const QImage& plane) const;

    MuPdfSession& m_session;
    int m_quality;
};
