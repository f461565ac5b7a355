#pragma once

#include <cstddef>
#include <vector>

#include "MuPdfSession.h"

// Walks a name tree (string keys, pairs in /Names) or a number tree (integer keys, pairs in /Nums)
// depth first: a node's own pairs, then those of its /Kids in order. A damaged or hostile file can
// make /Kids lead back up the tree or into a node it has already reached: each node is read once,
// and none deeper than kMaxDepth levels below the root; pairs() names what that leaves out
// (MuPdfSession::noteLeftOut). The walk keeps only plain values and MuPDF memory, so that a lookup
// can run inside the guard of the code that needs it.
class PdfTreeWalker
{
public:
    enum class Kind { Names, Numbers };

    struct Pair {
        pdf_obj* key = nullptr;
        pdf_obj* value = nullptr;
    };

    static const int kMaxDepth = 32;

    // Every pair of the tree at root, in tree order, as the document holds them: valid while the
    // document is not changed. Runs its own guards; a node that is not a dictionary holds nothing.
    static std::vector<Pair> pairs(MuPdfSession& session, pdf_obj* root, Kind kind);
    // The value stored under key (a string in a name tree, an integer in a number tree), or null.
    // Skips the subtrees whose /Limits leave the key out. Must run inside a guard.
    static pdf_obj* find(fz_context* context, pdf_obj* root, Kind kind, pdf_obj* key);

private:
    struct Frame {
        pdf_obj* kids = nullptr;
        int next = 0;
    };

    PdfTreeWalker(fz_context* context, Kind kind);

    // The methods below must run inside a guard; release() frees what start() took.
    void start(pdf_obj* root);
    void release();
    // The next node in tree order, or null when the walk is over.
    pdf_obj* nextNode();
    // The walk leaves out the kids of the node nextNode() returned last.
    void skipKids() { m_descend = false; }
    // False for what cannot be a node, or a node the walk has reached before.
    bool enter(pdf_obj* node);
    pdf_obj* pairArray(pdf_obj* node) const;
    int compare(pdf_obj* a, pdf_obj* b) const;
    bool limitsLeaveOut(pdf_obj* node, pdf_obj* key) const;
    pdf_obj* findInNode(pdf_obj* node, pdf_obj* key) const;

    fz_context* m_context;
    Kind m_kind;
    pdf_obj* m_root = nullptr;       // until the first step
    Frame m_frames[kMaxDepth];       // the kids under walk on each level above the current node
    int m_levels = 0;                // frames in use: the depth of the current node
    pdf_obj* m_current = nullptr;    // the node returned last
    bool m_descend = false;          // whether its kids come next
    unsigned char* m_seen = nullptr; // one bit per object number of the document
    int m_objectCount = 0;
    bool m_loopCut = false;  // a node was reached again and left out there
    bool m_depthCut = false; // nodes below kMaxDepth levels were left out
};
