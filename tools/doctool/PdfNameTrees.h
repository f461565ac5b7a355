#pragma once

#include "MuPdfSession.h"

// The document-level name trees that belong to the whole document, not to pages: its attached
// files (/EmbeddedFiles, the way e-invoices carry their data) and its JavaScript, grafted whole
// through the map of the pages. A merge unites them by name, the first of equal names kept.
class PdfNameTrees
{
public:
    // Adds the entries of source's trees that target does not have yet, by name.
    static void copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, pdf_document* target);
};
