#pragma once

#include <QByteArray>

#include "MuPdfSession.h"

// A document's claim, in its XMP metadata, to conform to PDF/A (the pdfaid properties). A result
// that could not keep what PDF/A asks for (its tagged structure) must not go on claiming it; one that
// keeps the claim is written as its part asks (PdfCompactWriter).
class PdfConformanceClaim
{
public:
    // Removes the claim from document's XMP metadata, if it has any.
    static void withdraw(MuPdfSession& session, pdf_document* document);
    // The part of PDF/A that XMP metadata claims (1 for PDF/A-1, 2, 3, ...), 0 for none.
    static int part(const QByteArray& xmp);
};
