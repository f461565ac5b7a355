#pragma once

#include <vector>

#include <QByteArray>

#include "MuPdfSession.h"

// Stores objects of equal content once, also where they form chains. MuPDF merges equal objects in
// one pass when it saves, so two equal dictionaries that point at objects merged in that same pass
// stay apart: a font, its descriptor and its font file, copied from two parts of one document,
// would stay there twice. Here passes repeat until nothing merges. Page objects and the page tree
// are never merged, however alike: links and bookmarks point at a page by its object.
class PdfDeduplicator
{
public:
    // Returns how many objects were merged into others; the merged ones are left unreferenced for
    // the save to drop.
    static int run(MuPdfSession& session, pdf_document* document);

private:
    static int mergePass(MuPdfSession& session, pdf_document* document);
    // The object's text with its references, plus a digest of its stored stream bytes; empty for an
    // object that must keep its identity or does not exist.
    static QByteArray contentKey(MuPdfSession& session, pdf_document* document, int number);
    static void redirect(fz_context* context, pdf_document* document, pdf_obj* object,
                         const std::vector<int>& target);
};
