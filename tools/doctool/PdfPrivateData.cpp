#include "PdfPrivateData.h"

int PdfPrivateData::remove(MuPdfSession& session, pdf_document* document)
{
    fz_context* context = session.context();
    int count = 0;
    session.run([&] { count = pdf_xref_len(context, document); });
    int removed = 0;
    for (int number = 1; number < count; ++number) {
        try {
            session.run([&] {
                pdf_xref_entry* entry = pdf_get_xref_entry(context, document, number);
                if (!entry || (entry->type != 'n' && entry->type != 'o'))
                    return;
                pdf_obj* object = pdf_load_object(context, document, number);
                if (pdf_is_dict(context, object) && pdf_dict_gets(context, object, "PieceInfo")) {
                    pdf_dict_dels(context, object, "PieceInfo");
                    ++removed;
                }
                pdf_drop_obj(context, object);
            });
        } catch (const std::exception&) {
            continue; // a broken object is left as it is
        }
    }
    return removed;
}
