#pragma once

#include "MuPdfSession.h"

// Re-encodes the raster images of a PDF as JPEG at a quality from 1 (smallest) to 100 (best),
// shrinking those larger than the quality allows. Bilevel images, masks and images with a colour-key
// mask keep their lossless coding; an image whose new coding is not smaller keeps its old one.
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

    MuPdfSession& m_session;
    int m_quality;
};
