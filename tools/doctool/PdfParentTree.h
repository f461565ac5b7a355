#pragma once

#include <functional>
#include <map>
#include <set>

#include "MuPdfSession.h"

// The parent tree of a structure tree being copied (its /ParentTree): for each page, annotation
// and XObject with marked content, the elements that content belongs to. Entries of the source's
// tree are taken over for the copies that use them, their elements replaced by the copies, their
// keys moved by an offset where the target's keys already stand for other content.
class PdfParentTree
{
public:
    // elementOf: source element object number -> target element object number, or -1.
    PdfParentTree(fz_context* context, pdf_graft_map* map, pdf_document* target,
                  std::function<int(int)> elementOf);
    ~PdfParentTree();
    PdfParentTree(const PdfParentTree&) = delete;
    PdfParentTree& operator=(const PdfParentTree&) = delete;

    // Reads the source's tree (a number tree); runs its own guards.
    void load(MuPdfSession& session, pdf_obj* sourceTree);
    void setOffset(int offset) { m_offset = offset; }

    // The methods below must run inside a guard.
    // Gives holder (the target copy of what stands under key in the source's tree) its key under
    // name, and the tree its entry.
    void addKey(pdf_obj* holder, const char* name, pdf_obj* key);
    // The same for the form XObjects with structure that resources use, at any depth a damaged
    // file allows; seen holds those already visited.
    void addXObjectKeys(pdf_obj* resources, std::set<int>* seen, int depth = 0);
    // Writes the target's tree under root (a structure tree root): the entries it held, then the
    // added ones, and the next free key.
    void write(pdf_obj* root);

private:
    pdf_obj* mappedValue(pdf_obj* value) const;
    pdf_obj* elementReference(int number) const;

    fz_context* m_context;
    pdf_graft_map* m_map;
    pdf_document* m_target;
    std::function<int(int)> m_elementOf;
    std::map<int, pdf_obj*> m_source; // key -> value in the source
    std::map<int, pdf_obj*> m_added;  // key -> value for the target (owned)
    int m_offset;
};
