#include "PdfPrivateData.h"

int PdfPrivateData::remove(MuPdfSession& session, pdf_document* document)
{
    fz_context* context = session.context();
    int count = 0;
    session.run([&] { count = pdf_xref_len(context, document); });
    int removed = 0;
    for (int number = 1; number < count; ++number) {
        try {
            session.withObject(document, number, [&](pdf_obj* object) {
                if (pdf_is_dict(context, object) && pdf_dict_gets(context, object, "PieceInfo")) {
                    pdf_dict_dels(context, object, "PieceInfo");
                    ++removed;
                }
            });
        } catch (const std::exception&) {
            continue; // a broken object is left as it is
        }
    }
    return removed;
}
