#pragma once

#include "MuPdfSession.h"

// A document's claim, in its XMP metadata, to conform to PDF/A (the pdfaid properties). A result
// that could not keep what PDF/A asks for (its tagged structure) must not go on claiming it.
class PdfConformanceClaim
{
public:
    // Removes the claim from document's XMP metadata, if it has any.
    static void withdraw(MuPdfSession& session, pdf_document* document);
};
