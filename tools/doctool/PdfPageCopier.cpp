#include "PdfPageCopier.h"

#include "PdfFileWriter.h"

namespace
{
// The page a link annotation leads to inside source, or -1 (outside links and actions other than
// "go to" have none).
int linkTarget(fz_context* context, pdf_document* source, pdf_obj* annotation, pdf_obj** destination)
{
    pdf_obj* dest = pdf_dict_get(context, annotation, PDF_NAME(Dest));
    pdf_obj* action = pdf_dict_get(context, annotation, PDF_NAME(A));
    if (!dest && pdf_name_eq(context, pdf_dict_get(context, action, PDF_NAME(S)), PDF_NAME(GoTo)))
        dest = pdf_dict_get(context, action, PDF_NAME(D));
    if (!dest)
        return -1;
    if (pdf_is_name(context, dest) || pdf_is_string(context, dest))
        dest = pdf_lookup_dest(context, source, dest);
    if (pdf_is_dict(context, dest))
        dest = pdf_dict_get(context, dest, PDF_NAME(D));
    if (!pdf_is_array(context, dest))
        return -1;
    *destination = dest;
    pdf_obj* page = pdf_array_get(context, dest, 0);
    return pdf_is_indirect(context, page) ? pdf_lookup_page_number(context, source, page) : -1;
}

// Copies one annotation of a source page onto targetPage and returns its new reference, or null
// for one that stays behind: form fields (they belong to the document's form, which is not
// copied), pop-up notes, and links that lead to a page outside first..last. Links inside the range
// lead to the copied page. Must run inside a MuPDF guard.
pdf_obj* copyAnnotation(fz_context* context, pdf_graft_map* map, pdf_document* source, pdf_obj* annotation,
                        int first, int last, pdf_document* target, int targetFirst, pdf_obj* targetPage)
{
    pdf_obj* subtype = pdf_dict_get(context, annotation, PDF_NAME(Subtype));
    if (!pdf_is_dict(context, annotation) || pdf_name_eq(context, subtype, PDF_NAME(Widget)) ||
        pdf_name_eq(context, subtype, PDF_NAME(Popup)))
        return nullptr;
    pdf_obj* destination = nullptr;
    int destinationPage = -1;
    if (pdf_name_eq(context, subtype, PDF_NAME(Link))) {
        destinationPage = linkTarget(context, source, annotation, &destination);
        if (destination && (destinationPage < first || destinationPage > last))
            return nullptr;
    }
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
        pdf_dict_del(context, bare, PDF_NAME(StructParent));
        if (destination) {
            pdf_dict_del(context, bare, PDF_NAME(Dest));
            pdf_dict_del(context, bare, PDF_NAME(A));
        }
        moved = pdf_graft_mapped_object(context, map, bare);
        if (destination) {
            pdf_obj* newDestination = pdf_dict_put_array(context, moved, PDF_NAME(Dest), 6);
            pdf_array_push(context, newDestination,
                           pdf_lookup_page_obj(context, target, targetFirst + destinationPage - first));
            for (int k = 1; k < pdf_array_len(context, destination); ++k)
                pdf_array_push(context, newDestination, pdf_array_get(context, destination, k));
        }
        pdf_dict_put(context, moved, PDF_NAME(P), targetPage);
        reference = pdf_add_object(context, target, moved);
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

// Carries the annotations of source pages first..last over to the target pages from targetFirst on.
// Must run inside a MuPDF guard.
void copyAnnotations(fz_context* context, pdf_graft_map* map, pdf_document* source, int first, int last,
                     pdf_document* target, int targetFirst)
{
    for (int page = first; page <= last; ++page) {
        pdf_obj* annotations =
            pdf_dict_get(context, pdf_lookup_page_obj(context, source, page), PDF_NAME(Annots));
        const int count = pdf_array_len(context, annotations);
        if (count == 0)
            continue;
        pdf_obj* targetPage = pdf_lookup_page_obj(context, target, targetFirst + page - first);
        pdf_obj* copied = pdf_new_array(context, target, count);
        fz_try(context)
        {
            for (int i = 0; i < count; ++i) {
                pdf_obj* reference =
                    copyAnnotation(context, map, source, pdf_array_get(context, annotations, i), first, last,
                                   target, targetFirst, targetPage);
                if (reference)
                    pdf_array_push_drop(context, copied, reference);
            }
            if (pdf_array_len(context, copied) > 0)
                pdf_dict_put(context, targetPage, PDF_NAME(Annots), copied);
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
}
} // namespace

PdfPageCopier::PdfPageCopier(MuPdfSession& session)
    : m_session(session), m_target(nullptr), m_pageCount(0), m_hasMetadata(false), m_sourceCount(0)
{
    fz_context* context = m_session.context();
    m_session.run([&] { m_target = pdf_create_document(context); });
}

PdfPageCopier::~PdfPageCopier()
{
    pdf_drop_document(m_session.context(), m_target);
}

void PdfPageCopier::append(pdf_document* source, int first, int last)
{
    ++m_sourceCount;
    fz_context* context = m_session.context();
    const PdfOutline outline = PdfOutline::load(m_session, source).range(first, last).shifted(m_pageCount);
    pdf_graft_map* map = nullptr;
    m_session.run([&] { map = pdf_new_graft_map(context, m_target); });
    try {
        const int targetFirst = m_pageCount;
        m_session.run([&] {
            for (int page = first; page <= last; ++page)
                pdf_graft_mapped_page(context, map, -1, source, page);
            copyAnnotations(context, map, source, first, last, m_target, targetFirst);
        });
        if (!m_hasMetadata)
            copyMetadata(source, map);
    } catch (...) {
        pdf_drop_graft_map(context, map);
        throw;
    }
    pdf_drop_graft_map(context, map);
    m_pageCount += last - first + 1;
    m_outline.append(outline);
}

void PdfPageCopier::copyMetadata(pdf_document* source, pdf_graft_map* map)
{
    fz_context* context = m_session.context();
    m_session.run([&] {
        pdf_obj* info = pdf_dict_get(context, pdf_trailer(context, source), PDF_NAME(Info));
        if (pdf_is_dict(context, info)) {
            pdf_obj* copied = pdf_graft_mapped_object(context, map, info);
            if (!pdf_is_indirect(context, copied)) {
                pdf_obj* direct = copied;
                copied = pdf_add_object(context, m_target, direct);
                pdf_drop_obj(context, direct);
            }
            pdf_dict_put_drop(context, pdf_trailer(context, m_target), PDF_NAME(Info), copied);
        }
        pdf_obj* sourceRoot = pdf_dict_get(context, pdf_trailer(context, source), PDF_NAME(Root));
        pdf_obj* targetRoot = pdf_dict_get(context, pdf_trailer(context, m_target), PDF_NAME(Root));
        const char* keys[] = {"Metadata", "PageMode", "PageLayout", "Lang", "ViewerPreferences"};
        for (const char* key : keys) {
            pdf_obj* value = pdf_dict_gets(context, sourceRoot, key);
            if (value)
                pdf_dict_puts_drop(context, targetRoot, key, pdf_graft_mapped_object(context, map, value));
        }
    });
    m_hasMetadata = true;
}

void PdfPageCopier::save(const QString& path)
{
    m_outline.write(m_session, m_target);
    PdfFileWriter::save(m_session, m_target, path, m_pageCount, m_sourceCount > 1);
}
