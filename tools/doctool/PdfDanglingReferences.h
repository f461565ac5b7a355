#pragma once

#include "MuPdfSession.h"

// References to objects that a document does not hold (numbers beyond its cross-reference table, as
// a file cut short or written carelessly has them). The PDF standard reads such a reference as null,
// and viewers open the document; MuPDF's copying of objects refuses one ("source object number out
// of range") and would stop the whole job. Before anything is copied out of a document, each of them
// is made the null it stands for: a dictionary entry goes, an array element becomes null.
class PdfDanglingReferences
{
public:
    // Clears them in every object of document and in its trailer; returns how many there were. Only
    // the document in memory changes.
    static int clear(MuPdfSession& session, pdf_document* document);

    // Levels of dictionaries and arrays written inside one another that are looked into.
    static const int kMaxDepth = 32;
};
