#include "PdfPageTree.h"

#include <initializer_list>

namespace
{
enum class Entry { Node, Page, Stray };

Entry entryOf(fz_context* context, pdf_obj* object)
{
    if (!pdf_is_dict(context, object))
        return Entry::Stray;
    pdf_obj* type = pdf_dict_get(context, object, PDF_NAME(Type));
    if (pdf_name_eq(context, type, PDF_NAME(Pages)))
        return Entry::Node;
    if (pdf_name_eq(context, type, PDF_NAME(Page)))
        return Entry::Page;
    if (type)
        return Entry::Stray;
    // Some writers leave out the type: MuPDF takes a dictionary with kids and no page box for a node.
    return pdf_is_array(context, pdf_dict_get(context, object, PDF_NAME(Kids))) &&
                   !pdf_dict_get(context, object, PDF_NAME(MediaBox))
               ? Entry::Node
               : Entry::Page;
}

struct Frame {
    pdf_obj* node;
    pdf_obj* kids;
    int next;
    int pagesBefore;
};

// One walk's state, in MuPDF memory.
struct Walk {
    fz_context* context = nullptr;
    unsigned char* seen = nullptr; // one bit per object number of the document
    int objects = 0;
    Frame* frames = nullptr; // the nodes on the way down to the current entry
    int levels = 0;
    pdf_obj* pages = nullptr; // when given: receives the pages found, each with what it inherited
    PdfPageTree::Facts facts;
};

// False for an object reached before; one written out directly sits in its parent and cannot be.
bool firstVisit(Walk* walk, pdf_obj* object)
{
    if (!pdf_is_indirect(walk->context, object))
        return true;
    const int number = pdf_to_num(walk->context, object);
    if (number <= 0 || number >= walk->objects)
        return false;
    unsigned char& byte = walk->seen[number / 8];
    const unsigned char bit = static_cast<unsigned char>(1u << (number % 8));
    if (byte & bit)
        return false;
    byte |= bit;
    return true;
}

// Puts into page what it lacks and inherits from the nodes on the way down to it.
void inherit(Walk* walk, pdf_obj* page)
{
    fz_context* context = walk->context;
    for (pdf_obj* key : {PDF_NAME(Resources), PDF_NAME(MediaBox), PDF_NAME(CropBox), PDF_NAME(Rotate)}) {
        for (int level = walk->levels - 1; level >= 0 && !pdf_dict_get(context, page, key); --level) {
            pdf_obj* value = pdf_dict_get(context, walk->frames[level].node, key);
            if (value)
                pdf_dict_put(context, page, key, value);
        }
    }
}

void found(Walk* walk, pdf_obj* page)
{
    ++walk->facts.pages;
    if (!walk->pages)
        return;
    inherit(walk, page);
    pdf_obj* reference =
        pdf_is_indirect(walk->context, page)
            ? pdf_keep_obj(walk->context, page)
            : pdf_add_object(walk->context, pdf_get_bound_document(walk->context, page), page);
    pdf_array_push_drop(walk->context, walk->pages, reference);
}

void run(Walk* walk, pdf_obj* root)
{
    fz_context* context = walk->context;
    walk->facts.claimed = pdf_dict_get_int(context, root, PDF_NAME(Count));
    if (!pdf_is_dict(context, root))
        return;
    firstVisit(walk, root);
    walk->frames[walk->levels++] = {root, pdf_dict_get(context, root, PDF_NAME(Kids)), 0, 0};
    while (walk->levels > 0) {
        Frame& frame = walk->frames[walk->levels - 1];
        if (frame.next >= pdf_array_len(context, frame.kids)) {
            pdf_obj* count = pdf_dict_get(context, frame.node, PDF_NAME(Count));
            if (!pdf_is_int(context, count) ||
                pdf_to_int(context, count) != walk->facts.pages - frame.pagesBefore)
                walk->facts.countsAgree = false;
            --walk->levels;
            continue;
        }
        pdf_obj* kid = pdf_array_get(context, frame.kids, frame.next++);
        const Entry entry = entryOf(context, kid);
        if (entry == Entry::Stray) {
            walk->facts.strays = true;
        } else if (!firstVisit(walk, kid)) {
            walk->facts.loop = true;
        } else if (entry == Entry::Page) {
            found(walk, kid);
        } else if (walk->levels == PdfPageTree::kMaxDepth) {
            walk->facts.tooDeep = true;
        } else {
            walk->frames[walk->levels++] = {kid, pdf_dict_get(context, kid, PDF_NAME(Kids)), 0,
                                            walk->facts.pages};
        }
    }
}

PdfPageTree::Facts walkCollecting(fz_context* context, pdf_document* document, pdf_obj* pages)
{
    Walk walk;
    walk.context = context;
    walk.pages = pages;
    fz_var(walk);
    fz_try(context)
    {
        walk.objects = pdf_xref_len(context, document);
        walk.seen = static_cast<unsigned char*>(fz_calloc(context, size_t(walk.objects) / 8 + 1, 1));
        walk.frames = static_cast<Frame*>(fz_calloc(context, PdfPageTree::kMaxDepth, sizeof(Frame)));
        run(&walk, pdf_dict_getp(context, pdf_trailer(context, document), "Root/Pages"));
    }
    fz_always(context)
    {
        fz_free(context, walk.frames);
        fz_free(context, walk.seen);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return walk.facts;
}
} // namespace

PdfPageTree::Facts PdfPageTree::walk(fz_context* context, pdf_document* document)
{
    return walkCollecting(context, document, nullptr);
}

PdfPageTree::Facts PdfPageTree::repair(fz_context* context, pdf_document* document)
{
    const Facts facts = walk(context, document);
    if (facts.sound() || facts.pages == 0)
        return facts;
    pdf_obj* pages = pdf_new_array(context, document, facts.pages);
    pdf_obj* node = nullptr;
    fz_var(node);
    fz_try(context)
    {
        walkCollecting(context, document, pages);
        // A new root: the old nodes are left to the save, which drops what nothing refers to.
        node = pdf_add_new_dict(context, document, 3);
        pdf_dict_put(context, node, PDF_NAME(Type), PDF_NAME(Pages));
        pdf_dict_put_int(context, node, PDF_NAME(Count), pdf_array_len(context, pages));
        pdf_dict_put(context, node, PDF_NAME(Kids), pages);
        for (int i = 0; i < pdf_array_len(context, pages); ++i)
            pdf_dict_put(context, pdf_array_get(context, pages, i), PDF_NAME(Parent), node);
        pdf_dict_put(context, pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root)),
                     PDF_NAME(Pages), node);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, node);
        pdf_drop_obj(context, pages);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return facts;
}
