#pragma once

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

// The pages of a PDF as its page tree holds them, whatever its counts claim. MuPDF takes the page
// count from the root's /Count as it stands, sizes its page maps by it and finds a page by number
// through the /Count of every node on the way: a file that claims two billion pages costs gigabytes.
// This walk from the catalog's /Pages reaches each object once (a loop, or a second path to a node
// or page, is cut there), goes at most kMaxDepth levels down and leaves out entries that are neither
// a page nor a node, so its work and memory are bounded by the file's own objects. It uses MuPDF
// memory only and must run inside the caller's guard.
class PdfPageTree
{
public:
    static const int kMaxDepth = 64;

    struct Facts {
        int pages = 0;           // the pages found
        int claimed = 0;         // what the root's /Count says
        bool loop = false;       // an object met again was left out
        bool tooDeep = false;    // nodes below kMaxDepth levels were left out
        bool strays = false;     // entries that are neither a page nor a node were left out
        bool countsAgree = true; // every node's /Count is the number of pages found below it
        // Whether MuPDF's own page lookup finds the same pages by number.
        bool sound() const { return !loop && !tooDeep && !strays && countsAgree; }
    };

    // Walks document's page tree.
    static Facts walk(fz_context* context, pdf_document* document);
    // Walks it and, when it is not sound, rebuilds it as one node that lists the pages found in
    // order, each holding what it inherited on the way down (resources, boxes, rotation), so that
    // MuPDF's page count and lookups agree with the walk.
    static Facts repair(fz_context* context, pdf_document* document);
};
