#pragma once

#include <map>
#include <vector>

#include "MuPdfSession.h"

// Carries the annotations of copied pages into the new document. A form field's widget goes without
// its field, which PdfFormCopier gives back; a note's pop-up window goes with it, each pointing at
// the other again; links within the document are rewritten to lead to the copied pages.
class PdfAnnotationCopier
{
public:
    // A cut keeps a link whose target page lies outside it as a link that does nothing, with its
    // target in the whole document beside it for the merge; a merge passes such links on as they
    // are, to be resolved once all parts are in.
    enum class Purpose { Cut, Merge };

    // Copies the annotations of source pages first..last (from 0) onto the target pages from
    // targetFirst on, which are already copied through map. Each copy is listed in copied, source
    // object number -> target object number.
    static void copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, int first, int last,
                     pdf_document* target, int targetFirst, Purpose purpose, std::map<int, int>* copied);
    // Resolves the links carried by target pages first..last through wholeToTarget (page index in
    // the whole document -> page index in target, or -1); those that cannot be resolved are removed.
    static void resolveCarried(MuPdfSession& session, pdf_document* target, int first, int last,
                               const std::vector<int>& wholeToTarget);
};
