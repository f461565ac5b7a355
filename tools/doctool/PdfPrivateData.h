#pragma once

#include "MuPdfSession.h"

// Other applications' private data: the /PieceInfo dictionaries of pages and drawings, where
// programs such as Adobe Illustrator keep a full copy of their own document for editing it again.
// No viewer reads them, and in figures they can outweigh the pictures.
class PdfPrivateData
{
public:
    // Removes them from every page and drawing of document; returns how many were removed. What
    // they alone referred to is dropped when the document is saved.
    static int remove(MuPdfSession& session, pdf_document* document);
};
