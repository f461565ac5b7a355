#pragma once

#include "MuPdfSession.h"

// A document's optional content: its layers, which of them a viewer shows at first, their order
// and names (the catalog's /OCProperties). Without it a viewer draws every layer, the hidden ones
// too. It is grafted through the map that copied the pages, so that the layers the pages refer to
// and those the catalog lists are the same objects.
class PdfOptionalContent
{
public:
    // Gives target the optional content of source when it has none yet; otherwise adds the layers
    // of source to those of target, each keeping the state it starts in.
    static void copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, pdf_document* target);
};
