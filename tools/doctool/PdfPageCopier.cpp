#include "PdfPageCopier.h"

#include "PdfFileWriter.h"

PdfPageCopier::PdfPageCopier(MuPdfSession& session)
    : m_session(session)
    , m_target(nullptr)
    , m_pageCount(0)
    , m_hasMetadata(false)
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
    fz_context* context = m_session.context();
    const PdfOutline outline = PdfOutline::load(m_session, source).range(first, last).shifted(m_pageCount);
    pdf_graft_map* map = nullptr;
    m_session.run([&] { map = pdf_new_graft_map(context, m_target); });
    try {
        m_session.run([&] {
            for (int page = first; page <= last; ++page)
                pdf_graft_mapped_page(context, map, -1, source, page);
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
    PdfFileWriter::save(m_session, m_target, path, m_pageCount);
}
