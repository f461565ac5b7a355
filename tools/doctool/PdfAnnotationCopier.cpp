#include "PdfAnnotationCopier.h"

#include "PdfCutRecord.h"
#include "PdfDestination.h"

namespace
{
struct Placement {
    pdf_graft_map* map;
    pdf_document* source;
    int first;
    int last;
    pdf_document* target;
    int targetFirst;
    pdf_obj* targetPage;
    PdfAnnotationCopier::Purpose purpose;
    std::map<int, int>* copied;
};

// Copies one annotation and returns its new reference, or null for one that stays behind. A
// pop-up goes with its note (copyPopup), not on its own; a widget leaves its field behind for
// PdfFormCopier. Must run inside a guard.
pdf_obj* copyAnnotation(fz_context* context, const Placement& place, pdf_obj* annotation)
{
    pdf_obj* subtype = pdf_dict_get(context, annotation, PDF_NAME(Subtype));
    if (!pdf_is_dict(context, annotation) || pdf_name_eq(context, subtype, PDF_NAME(Popup)))
        return nullptr;
    const bool carried = pdf_dict_gets(context, annotation, PdfCutRecord::kLinkKey) != nullptr;
    // A carried link of a cut that is cut again would lead into the wrong document.
    if (carried && place.purpose == PdfAnnotationCopier::Purpose::Cut)
        return nullptr;
    PdfDestination destination;
    const bool internal = !carried && pdf_name_eq(context, subtype, PDF_NAME(Link)) &&
                          PdfDestination::resolveOf(context, place.source, annotation, &destination);
    const bool outside = internal && (destination.page < place.first || destination.page > place.last);
    if (outside && place.purpose == PdfAnnotationCopier::Purpose::Merge)
        return nullptr;
    // Without the keys that point back into the source, grafting copies only what the annotation
    // itself draws with.
    pdf_obj* bare = pdf_copy_dict(context, pdf_resolve_indirect(context, annotation));
    pdf_obj* moved = nullptr;
    pdf_obj* reference = nullptr;
    fz_var(moved);
    fz_try(context)
    {
        pdf_dict_del(context, bare, PDF_NAME(P));
        pdf_dict_del(context, bare, PDF_NAME(Popup));
        pdf_dict_del(context, bare, PDF_NAME(Parent));
        pdf_dict_del(context, bare, PDF_NAME(IRT));
        if (internal) {
            pdf_dict_del(context, bare, PDF_NAME(Dest));
            pdf_dict_del(context, bare, PDF_NAME(A));
        }
        moved = pdf_graft_mapped_object(context, place.map, bare);
        if (outside) {
            pdf_dict_puts_drop(context, moved, PdfCutRecord::kLinkKey,
                               destination.toArray(context, place.target, nullptr));
        } else if (internal) {
            pdf_obj* page = pdf_lookup_page_obj(context, place.target,
                                                place.targetFirst + destination.page - place.first);
            pdf_dict_put_drop(context, moved, PDF_NAME(Dest),
                              destination.toArray(context, place.target, page));
        }
        pdf_dict_put(context, moved, PDF_NAME(P), place.targetPage);
        reference = pdf_add_object(context, place.target, moved);
        if (pdf_to_num(context, annotation) > 0)
            (*place.copied)[pdf_to_num(context, annotation)] = pdf_to_num(context, reference);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, moved);
        pdf_drop_obj(context, bare);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return reference;
}

// Copies the pop-up window of note for its copy, each pointing at the other, and lists it in
// copied. Must run inside a guard.
void copyPopup(fz_context* context, const Placement& place, pdf_obj* note, pdf_obj* copiedNote,
               pdf_obj* copied)
{
    pdf_obj* popup = pdf_dict_get(context, note, PDF_NAME(Popup));
    if (!pdf_name_eq(context, pdf_dict_get(context, popup, PDF_NAME(Subtype)), PDF_NAME(Popup)))
        return;
    pdf_obj* bare = pdf_copy_dict(context, pdf_resolve_indirect(context, popup));
    pdf_obj* moved = nullptr;
    pdf_obj* reference = nullptr;
    fz_var(moved);
    fz_var(reference);
    fz_try(context)
    {
        pdf_dict_del(context, bare, PDF_NAME(P));
        pdf_dict_del(context, bare, PDF_NAME(Parent));
        moved = pdf_graft_mapped_object(context, place.map, bare);
        pdf_dict_put(context, moved, PDF_NAME(P), place.targetPage);
        pdf_dict_put(context, moved, PDF_NAME(Parent), copiedNote);
        reference = pdf_add_object(context, place.target, moved);
        pdf_dict_put(context, copiedNote, PDF_NAME(Popup), reference);
        pdf_array_push(context, copied, reference);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, reference);
        pdf_drop_obj(context, moved);
        pdf_drop_obj(context, bare);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

void copyPageAnnotations(fz_context* context, Placement place, int page)
{
    pdf_obj* annotations =
        pdf_dict_get(context, pdf_lookup_page_obj(context, place.source, page), PDF_NAME(Annots));
    const int count = pdf_array_len(context, annotations);
    if (count == 0)
        return;
    place.targetPage = pdf_lookup_page_obj(context, place.target, place.targetFirst + page - place.first);
    pdf_obj* copied = pdf_new_array(context, place.target, count);
    fz_try(context)
    {
        for (int i = 0; i < count; ++i) {
            pdf_obj* annotation = pdf_array_get(context, annotations, i);
            pdf_obj* reference = copyAnnotation(context, place, annotation);
            if (!reference)
                continue;
            pdf_array_push_drop(context, copied, reference);
            copyPopup(context, place, annotation, reference, copied);
        }
        if (pdf_array_len(context, copied) > 0)
            pdf_dict_put(context, place.targetPage, PDF_NAME(Annots), copied);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, copied);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

void resolvePage(fz_context* context, pdf_document* target, int page, const std::vector<int>& wholeToTarget)
{
    pdf_obj* annotations =
        pdf_dict_get(context, pdf_lookup_page_obj(context, target, page), PDF_NAME(Annots));
    const int pages = pdf_count_pages(context, target);
    for (int i = pdf_array_len(context, annotations) - 1; i >= 0; --i) {
        pdf_obj* annotation = pdf_array_get(context, annotations, i);
        pdf_obj* carried = pdf_dict_gets(context, annotation, PdfCutRecord::kLinkKey);
        if (!carried)
            continue;
        PdfDestination destination;
        int to = -1;
        if (PdfDestination::fromIndexArray(context, carried, &destination) &&
            size_t(destination.page) < wholeToTarget.size())
            to = wholeToTarget[size_t(destination.page)];
        if (to < 0 || to >= pages) {
            pdf_array_delete(context, annotations, i);
            continue;
        }
        pdf_dict_put_drop(context, annotation, PDF_NAME(Dest),
                          destination.toArray(context, target, pdf_lookup_page_obj(context, target, to)));
        pdf_dict_dels(context, annotation, PdfCutRecord::kLinkKey);
    }
}
} // namespace

void PdfAnnotationCopier::copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, int first,
                               int last, pdf_document* target, int targetFirst, Purpose purpose,
                               std::map<int, int>* copied)
{
    fz_context* context = session.context();
    const Placement place{map, source, first, last, target, targetFirst, nullptr, purpose, copied};
    for (int page = first; page <= last; ++page)
        session.run([&] { copyPageAnnotations(context, place, page); });
}

void PdfAnnotationCopier::resolveCarried(MuPdfSession& session, pdf_document* target, int first, int last,
                                         const std::vector<int>& wholeToTarget)
{
    fz_context* context = session.context();
    for (int page = first; page <= last; ++page)
        session.run([&] { resolvePage(context, target, page, wholeToTarget); });
}
