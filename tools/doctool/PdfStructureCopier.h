#pragma once

#include <map>

#include "MuPdfSession.h"
#include "PdfAnnotationCopier.h"

// A tagged document's logical structure, which screen readers follow: the structure tree (the
// catalog's /StructTreeRoot) with its parent tree, role map and class map, each element still
// pointing at its page and marked content, each page's /StructParents, and /MarkInfo. A cut keeps
// the elements with content on its pages (and those above them); each copy is marked with the
// element it came from, so that a merge of cuts of one document unites the copies of one element
// again, its kids from every cut in order. Other documents' trees are appended, their parent-tree
// keys moved past those already used.
class PdfStructureCopier
{
public:
    // Copies the structure of source's pages first..last (from 0), already copied to target's pages
    // from targetFirst on with their annotations (annotations: source -> target object number).
    // A cut marks the copies; unite (a merge): join elements to the copies of the same element
    // already in target. On failure target keeps no structure tree, and its metadata no longer
    // claims PDF/A.
    static void copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, int first, int last,
                     pdf_document* target, int targetFirst, const std::map<int, int>& annotations,
                     PdfAnnotationCopier::Purpose purpose, bool unite);
    // Removes the marks of the elements' origin, which only a merge needs.
    static void removeMarks(MuPdfSession& session, pdf_document* target);

private:
    static void dropStructure(MuPdfSession& session, pdf_document* target);
};
