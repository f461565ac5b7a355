#include "PdfStructureCopier.h"

#include <set>

#include "PdfConformanceClaim.h"
#include "PdfParentTree.h"

namespace
{
const char* const kMarkKey = "VornexElement"; // the source element's object number in a cut
const int kMaxDepth = 256;                    // of a structure tree; deeper ones are damaged or hostile

struct Copy {
    fz_context* context = nullptr;
    pdf_graft_map* map = nullptr;
    pdf_document* target = nullptr;
    const std::map<int, int>* annotations = nullptr;
    std::map<int, int> pages;    // source page object -> target page object
    std::map<int, int> elements; // source element -> target element
    std::map<int, int> replaced; // target element -> the one it was united with
    std::set<int> visited;
    bool mark = false;      // a cut marks each copy with its source element
    bool keepEmpty = false; // elements without content, when on no page of their own
    bool loopCut = false;   // an element was reached again (a loop in the tree) and left out there
    bool depthCut = false;  // elements below kMaxDepth levels were left out
};

// The object number of object, also where MuPDF hands out the object itself rather than a
// reference to it (a page from a loaded page tree).
int objectNumber(fz_context* context, pdf_obj* object)
{
    return pdf_is_indirect(context, object) ? pdf_to_num(context, object)
                                            : pdf_obj_parent_num(context, object);
}

pdf_obj* catalogOf(fz_context* context, pdf_document* document)
{
    return pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
}

pdf_obj* structRootOf(fz_context* context, pdf_document* document)
{
    return pdf_dict_gets(context, catalogOf(context, document), "StructTreeRoot");
}

// The target page of source page, as a new reference, or null when it was not copied.
pdf_obj* targetPage(Copy* copy, pdf_obj* page)
{
    const auto found = copy->pages.find(pdf_to_num(copy->context, page));
    return page && found != copy->pages.end()
               ? pdf_new_indirect(copy->context, copy->target, found->second, 0)
               : nullptr;
}

bool hasType(fz_context* context, pdf_obj* object, const char* type)
{
    return !strcmp(pdf_to_name(context, pdf_dict_get(context, object, PDF_NAME(Type))), type);
}

pdf_obj* copyElement(Copy* copy, pdf_obj* element, pdf_obj* parent, int depth);

// A marked-content reference on a copied page, rebuilt there; null otherwise.
pdf_obj* copyContentReference(Copy* copy, pdf_obj* reference, pdf_obj* page)
{
    fz_context* context = copy->context;
    pdf_obj* own = pdf_dict_gets(context, reference, "Pg");
    pdf_obj* to = targetPage(copy, own ? own : page);
    if (!to)
        return nullptr;
    pdf_obj* result = pdf_new_dict(context, copy->target, 4);
    fz_try(context)
    {
        pdf_dict_put(context, result, PDF_NAME(Type), pdf_dict_get(context, reference, PDF_NAME(Type)));
        pdf_dict_puts(context, result, "Pg", to);
        pdf_dict_puts(context, result, "MCID", pdf_dict_gets(context, reference, "MCID"));
        // The stream that holds the content was grafted with the page's resources: the same copy.
        for (const char* key : {"Stm", "StmOwn"}) {
            pdf_obj* value = pdf_dict_gets(context, reference, key);
            if (value)
                pdf_dict_puts_drop(context, result, key, pdf_graft_mapped_object(context, copy->map, value));
        }
    }
    fz_always(context)
    {
        pdf_drop_obj(context, to);
    }
    fz_catch(context)
    {
        pdf_drop_obj(context, result);
        fz_rethrow(context);
    }
    return result;
}

// A reference to an annotation that was copied, or to an XObject of a copied page; null otherwise.
pdf_obj* copyObjectReference(Copy* copy, pdf_obj* reference, pdf_obj* page)
{
    fz_context* context = copy->context;
    pdf_obj* object = pdf_dict_gets(context, reference, "Obj");
    pdf_obj* own = pdf_dict_gets(context, reference, "Pg");
    pdf_obj* to = targetPage(copy, own ? own : page);
    const auto annotation = copy->annotations->find(pdf_to_num(context, object));
    const bool isXObject =
        pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Type)), PDF_NAME(XObject)) ||
        pdf_is_stream(context, object);
    if (annotation == copy->annotations->end() && (!isXObject || !to)) {
        pdf_drop_obj(context, to);
        return nullptr;
    }
    pdf_obj* result = pdf_new_dict(context, copy->target, 3);
    fz_try(context)
    {
        pdf_dict_put(context, result, PDF_NAME(Type), pdf_dict_get(context, reference, PDF_NAME(Type)));
        if (to)
            pdf_dict_puts(context, result, "Pg", to);
        if (annotation != copy->annotations->end())
            pdf_dict_puts_drop(context, result, "Obj",
                               pdf_new_indirect(context, copy->target, annotation->second, 0));
        else
            pdf_dict_puts_drop(context, result, "Obj", pdf_graft_mapped_object(context, copy->map, object));
    }
    fz_always(context)
    {
        pdf_drop_obj(context, to);
    }
    fz_catch(context)
    {
        pdf_drop_obj(context, result);
        fz_rethrow(context);
    }
    return result;
}

// Copies one kid of an element (on page, the element's own) into kids, when it leads to copied
// content.
void copyKid(Copy* copy, pdf_obj* kid, pdf_obj* page, pdf_obj* parent, pdf_obj* kids, int depth)
{
    fz_context* context = copy->context;
    if (pdf_is_int(context, kid)) {
        if (copy->pages.count(pdf_to_num(context, page)))
            pdf_array_push(context, kids, kid);
        return;
    }
    if (!pdf_is_dict(context, kid))
        return;
    pdf_obj* copied = nullptr;
    if (hasType(context, kid, "MCR") || pdf_dict_gets(context, kid, "MCID"))
        copied = copyContentReference(copy, kid, page);
    else if (hasType(context, kid, "OBJR") || pdf_dict_gets(context, kid, "Obj"))
        copied = copyObjectReference(copy, kid, page);
    else
        copied = copyElement(copy, kid, parent, depth + 1);
    if (copied)
        pdf_array_push_drop(context, kids, copied);
}

// The copy of element with those of its kids that lead to copied content, under parent; a new
// reference, or null when nothing of it is on the copied pages.
pdf_obj* copyElement(Copy* copy, pdf_obj* element, pdf_obj* parent, int depth)
{
    fz_context* context = copy->context;
    const int number = pdf_to_num(context, element);
    if (!pdf_is_dict(context, element))
        return nullptr;
    if (depth > kMaxDepth) {
        copy->depthCut = true;
        return nullptr;
    }
    if (number > 0 && !copy->visited.insert(number).second) {
        copy->loopCut = true;
        return nullptr;
    }
    pdf_obj* page = pdf_dict_gets(context, element, "Pg");
    pdf_obj* bare = pdf_copy_dict(context, pdf_resolve_indirect(context, element));
    pdf_obj* moved = nullptr;
    pdf_obj* reference = nullptr;
    pdf_obj* kids = nullptr;
    bool keep = false;
    fz_var(moved);
    fz_var(reference);
    fz_var(kids);
    fz_try(context)
    {
        // What points into the tree or at pages is rebuilt from the copies; the rest (type, title,
        // attributes, classes, alternate and actual text, language) is grafted.
        for (const char* key : {"K", "P", "Pg", "Ref"})
            pdf_dict_dels(context, bare, key);
        moved = pdf_graft_mapped_object(context, copy->map, bare);
        reference = pdf_add_object(context, copy->target, moved);
        pdf_dict_puts(context, reference, "P", parent);
        if (copy->mark && number > 0)
            pdf_dict_puts_drop(context, reference, kMarkKey, pdf_new_int(context, number));
        pdf_obj* pageCopy = targetPage(copy, page);
        if (pageCopy)
            pdf_dict_puts_drop(context, reference, "Pg", pageCopy);
        pdf_obj* sourceKids = pdf_dict_gets(context, element, "K");
        kids = pdf_new_array(context, copy->target, 4);
        if (pdf_is_array(context, sourceKids)) {
            for (int i = 0; i < pdf_array_len(context, sourceKids); ++i)
                copyKid(copy, pdf_array_get(context, sourceKids, i), page, reference, kids, depth);
        } else if (sourceKids) {
            copyKid(copy, sourceKids, page, reference, kids, depth);
        }
        const bool empty =
            !sourceKids || (pdf_is_array(context, sourceKids) && !pdf_array_len(context, sourceKids));
        keep = pdf_array_len(context, kids) > 0 || (empty && (pageCopy || (!page && copy->keepEmpty)));
        if (keep) {
            pdf_dict_puts(context, reference, "K", kids);
            if (number > 0)
                copy->elements[number] = pdf_to_num(context, reference);
        }
    }
    fz_always(context)
    {
        pdf_drop_obj(context, kids);
        pdf_drop_obj(context, moved);
        pdf_drop_obj(context, bare);
    }
    fz_catch(context)
    {
        pdf_drop_obj(context, reference);
        fz_rethrow(context);
    }
    if (!keep) {
        pdf_drop_obj(context, reference);
        return nullptr;
    }
    return reference;
}

int markOf(fz_context* context, pdf_obj* element)
{
    return pdf_to_int(context, pdf_dict_gets(context, element, kMarkKey));
}

// The element among kids (an array) with the mark of element, or null.
pdf_obj* sameElement(fz_context* context, pdf_obj* kids, pdf_obj* element)
{
    const int mark = markOf(context, element);
    for (int i = 0; mark > 0 && i < pdf_array_len(context, kids); ++i) {
        pdf_obj* kid = pdf_array_get(context, kids, i);
        if (pdf_is_dict(context, kid) && markOf(context, kid) == mark)
            return kid;
    }
    return nullptr;
}

pdf_obj* kidArray(fz_context* context, pdf_document* document, pdf_obj* element)
{
    pdf_obj* kids = pdf_dict_gets(context, element, "K");
    if (pdf_is_array(context, kids))
        return kids;
    pdf_obj* array = pdf_new_array(context, document, 4);
    if (kids)
        pdf_array_push(context, array, kids);
    pdf_dict_puts_drop(context, element, "K", array);
    return pdf_dict_gets(context, element, "K");
}

// Gives the kids of added, a later cut's copy of held's element, to held in order; content numbers
// that stood for added's page say so in full, since held may lie on another page.
void uniteElement(Copy* copy, pdf_obj* held, pdf_obj* added, int depth)
{
    fz_context* context = copy->context;
    if (!copy->replaced.emplace(pdf_to_num(context, added), pdf_to_num(context, held)).second)
        return;
    pdf_obj* heldKids = kidArray(context, copy->target, held);
    pdf_obj* kids = kidArray(context, copy->target, added);
    pdf_obj* page = pdf_dict_gets(context, added, "Pg");
    if (!pdf_dict_gets(context, held, "Pg") && page)
        pdf_dict_puts(context, held, "Pg", page);
    for (int i = 0; i < pdf_array_len(context, kids); ++i) {
        pdf_obj* kid = pdf_array_get(context, kids, i);
        if (pdf_is_int(context, kid)) {
            if (!pdf_objcmp(context, page, pdf_dict_gets(context, held, "Pg"))) {
                pdf_array_push(context, heldKids, kid);
                continue;
            }
            pdf_obj* reference = pdf_array_push_dict(context, heldKids, 3);
            pdf_dict_put_name(context, reference, PDF_NAME(Type), "MCR");
            pdf_dict_puts(context, reference, "Pg", page);
            pdf_dict_puts(context, reference, "MCID", kid);
            continue;
        }
        pdf_obj* same = depth < kMaxDepth ? sameElement(context, heldKids, kid) : nullptr;
        if (same) {
            uniteElement(copy, same, kid, depth + 1);
        } else {
            if (pdf_dict_gets(context, kid, "S"))
                pdf_dict_puts(context, kid, "P", held);
            pdf_array_push(context, heldKids, kid);
        }
    }
}

// The target element that a source element became (after uniting), or -1 for one left out.
int targetElement(const Copy* copy, int number)
{
    const auto found = copy->elements.find(number);
    if (number <= 0 || found == copy->elements.end())
        return -1;
    int result = found->second;
    size_t steps = 0;
    for (auto replaced = copy->replaced.find(result);
         replaced != copy->replaced.end() && steps++ < copy->replaced.size();
         replaced = copy->replaced.find(result))
        result = replaced->second;
    return result;
}

// Adds the entries of source's dictionary under key that target's lacks (a role or class map).
void addMapEntries(Copy* copy, pdf_obj* sourceRoot, pdf_obj* root, const char* key)
{
    fz_context* context = copy->context;
    pdf_obj* from = pdf_dict_gets(context, sourceRoot, key);
    if (!pdf_is_dict(context, from))
        return;
    pdf_obj* to = pdf_dict_gets(context, root, key);
    if (!pdf_is_dict(context, to)) {
        pdf_dict_puts_drop(context, root, key,
                           pdf_new_dict(context, copy->target, pdf_dict_len(context, from)));
        to = pdf_dict_gets(context, root, key);
    }
    for (int i = 0; i < pdf_dict_len(context, from); ++i) {
        pdf_obj* name = pdf_dict_get_key(context, from, i);
        if (!pdf_dict_get(context, to, name))
            pdf_dict_put_drop(
                context, to, name,
                pdf_graft_mapped_object(context, copy->map, pdf_dict_get_val(context, from, i)));
    }
}

// The target's structure tree root, made when it has none.
pdf_obj* targetRoot(Copy* copy)
{
    fz_context* context = copy->context;
    pdf_obj* catalog = catalogOf(context, copy->target);
    pdf_obj* root = pdf_dict_gets(context, catalog, "StructTreeRoot");
    if (pdf_is_dict(context, root))
        return root;
    pdf_obj* made = pdf_new_dict(context, copy->target, 6);
    pdf_dict_put_name(context, made, PDF_NAME(Type), "StructTreeRoot");
    pdf_dict_puts_drop(context, catalog, "StructTreeRoot", pdf_add_object_drop(context, copy->target, made));
    return pdf_dict_gets(context, catalog, "StructTreeRoot");
}

void copyTree(Copy* copy, pdf_document* source, PdfParentTree* tree, bool unite)
{
    fz_context* context = copy->context;
    pdf_obj* sourceRoot = structRootOf(context, source);
    pdf_obj* root = targetRoot(copy);
    if (!unite)
        tree->setOffset(pdf_to_int(context, pdf_dict_gets(context, root, "ParentTreeNextKey")));
    pdf_obj* topKids = kidArray(context, copy->target, root);
    pdf_obj* sourceKids = pdf_dict_gets(context, sourceRoot, "K");
    const int count = pdf_is_array(context, sourceKids) ? pdf_array_len(context, sourceKids)
                      : sourceKids                      ? 1
                                                        : 0;
    for (int i = 0; i < count; ++i) {
        pdf_obj* kid = pdf_is_array(context, sourceKids) ? pdf_array_get(context, sourceKids, i) : sourceKids;
        pdf_obj* copied = copyElement(copy, kid, root, 0);
        if (!copied)
            continue;
        pdf_obj* same = unite ? sameElement(context, topKids, copied) : nullptr;
        if (same)
            uniteElement(copy, same, copied, 0);
        else
            pdf_array_push(context, topKids, copied);
        pdf_drop_obj(context, copied);
    }
    addMapEntries(copy, sourceRoot, root, "RoleMap");
    addMapEntries(copy, sourceRoot, root, "ClassMap");
    pdf_obj* catalog = catalogOf(context, copy->target);
    pdf_obj* markInfo = pdf_dict_gets(context, catalogOf(context, source), "MarkInfo");
    if (markInfo && !pdf_dict_gets(context, catalog, "MarkInfo"))
        pdf_dict_puts_drop(context, catalog, "MarkInfo",
                           pdf_graft_mapped_object(context, copy->map, markInfo));

    // The parent tree leads from content back to its elements: page by page, annotation by
    // annotation, and for the XObjects that the pages draw.
    std::set<int> seen;
    for (const auto& page : copy->pages) {
        pdf_obj* from = pdf_new_indirect(context, source, page.first, 0);
        pdf_obj* to = pdf_new_indirect(context, copy->target, page.second, 0);
        fz_try(context)
        {
            tree->addKey(to, "StructParents", pdf_dict_get(context, from, PDF_NAME(StructParents)));
            tree->addXObjectKeys(pdf_dict_get_inheritable(context, from, PDF_NAME(Resources)), &seen);
        }
        fz_always(context)
        {
            pdf_drop_obj(context, to);
            pdf_drop_obj(context, from);
        }
        fz_catch(context)
        {
            fz_rethrow(context);
        }
    }
    for (const auto& annotation : *copy->annotations) {
        pdf_obj* from = pdf_new_indirect(context, source, annotation.first, 0);
        pdf_obj* to = pdf_new_indirect(context, copy->target, annotation.second, 0);
        fz_try(context)
        {
            tree->addKey(to, "StructParent", pdf_dict_get(context, from, PDF_NAME(StructParent)));
        }
        fz_always(context)
        {
            pdf_drop_obj(context, to);
            pdf_drop_obj(context, from);
        }
        fz_catch(context)
        {
            fz_rethrow(context);
        }
    }
    tree->write(root);
}

} // namespace

void PdfStructureCopier::copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, int first,
                              int last, pdf_document* target, int targetFirst,
                              const std::map<int, int>& annotations, PdfAnnotationCopier::Purpose purpose,
                              bool unite)
{
    fz_context* context = session.context();
    pdf_obj* parentTree = nullptr;
    bool tagged = false;
    Copy copy;
    copy.context = context;
    copy.map = map;
    copy.target = target;
    copy.annotations = &annotations;
    copy.mark = purpose == PdfAnnotationCopier::Purpose::Cut;
    copy.keepEmpty = first == 0 || !copy.mark;
    session.run([&] {
        pdf_obj* root = structRootOf(context, source);
        tagged = pdf_is_dict(context, root);
        parentTree = pdf_dict_gets(context, root, "ParentTree");
        for (int page = first; tagged && page <= last; ++page)
            copy.pages[objectNumber(context, pdf_lookup_page_obj(context, source, page))] =
                objectNumber(context, pdf_lookup_page_obj(context, target, targetFirst + page - first));
    });
    if (!tagged)
        return;
    PdfParentTree tree(context, map, target, [&copy](int element) { return targetElement(&copy, element); });
    try {
        tree.load(session, parentTree);
        session.run([&] { copyTree(&copy, source, &tree, unite); });
    } catch (const std::exception&) {
        dropStructure(session, target);
        session.noteLeftOut("the structure tree, which could not be copied");
        return;
    }
    if (copy.loopCut)
        session.noteLeftOut("a loop in the structure tree");
    if (copy.depthCut)
        session.noteLeftOut(QString("structure elements nested deeper than %1 levels").arg(kMaxDepth));
}

void PdfStructureCopier::dropStructure(MuPdfSession& session, pdf_document* target)
{
    fz_context* context = session.context();
    session.run([&] {
        pdf_obj* catalog = catalogOf(context, target);
        pdf_dict_dels(context, catalog, "StructTreeRoot");
        pdf_dict_dels(context, catalog, "MarkInfo");
    });
    PdfConformanceClaim::withdraw(session, target);
}

void PdfStructureCopier::removeMarks(MuPdfSession& session, pdf_document* target)
{
    fz_context* context = session.context();
    int count = 0;
    session.run([&] { count = pdf_xref_len(context, target); });
    // Every element of the tree is an object of its own: no walk is needed to find them.
    for (int number = 1; number < count; ++number) {
        session.run([&] {
            pdf_obj* object = pdf_new_indirect(context, target, number, 0);
            fz_try(context)
            {
                if (pdf_is_dict(context, object) && pdf_dict_gets(context, object, kMarkKey))
                    pdf_dict_dels(context, object, kMarkKey);
            }
            fz_always(context)
            {
                pdf_drop_obj(context, object);
            }
            fz_catch(context)
            {
                fz_rethrow(context);
            }
        });
    }
}
