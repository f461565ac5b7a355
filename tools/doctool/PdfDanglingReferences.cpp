#include "PdfDanglingReferences.h"

namespace
{
bool dangles(fz_context* context, pdf_obj* value, int objectCount)
{
    if (!pdf_is_indirect(context, value))
        return false;
    const int number = pdf_to_num(context, value);
    return number <= 0 || number >= objectCount;
}

// The dictionaries and arrays written out inside object, to kMaxDepth levels: a reference is
// looked at where it stands, never followed (every object gets its own turn). Must run inside a guard.
int clearIn(fz_context* context, pdf_obj* object, int objectCount)
{
    struct Frame {
        pdf_obj* container;
        int next;
    };
    Frame frames[PdfDanglingReferences::kMaxDepth];
    int levels = 0;
    int cleared = 0;
    if (pdf_is_dict(context, object) || pdf_is_array(context, object))
        frames[levels++] = {object, 0};
    while (levels > 0) {
        Frame& frame = frames[levels - 1];
        pdf_obj* container = frame.container;
        const bool dictionary = pdf_is_dict(context, container);
        const int length = dictionary ? pdf_dict_len(context, container) : pdf_array_len(context, container);
        if (frame.next >= length) {
            --levels;
            continue;
        }
        const int index = frame.next++;
        pdf_obj* value = dictionary ? pdf_dict_get_val(context, container, index)
                                    : pdf_array_get(context, container, index);
        if (dangles(context, value, objectCount)) {
            ++cleared;
            if (dictionary) {
                pdf_dict_del(context, container, pdf_dict_get_key(context, container, index));
                --frame.next; // the next entry has moved into this place
            } else {
                pdf_array_put(context, container, index, PDF_NULL);
            }
            continue;
        }
        if (levels < PdfDanglingReferences::kMaxDepth && !pdf_is_indirect(context, value) &&
            (pdf_is_dict(context, value) || pdf_is_array(context, value)))
            frames[levels++] = {value, 0};
    }
    return cleared;
}
} // namespace

int PdfDanglingReferences::clear(MuPdfSession& session, pdf_document* document)
{
    fz_context* context = session.context();
    int count = 0;
    int cleared = 0;
    session.run([&] {
        count = pdf_xref_len(context, document);
        cleared += clearIn(context, pdf_trailer(context, document), count);
    });
    for (int number = 1; number < count; ++number) {
        try {
            session.withObject(document, number,
                               [&](pdf_obj* object) { cleared += clearIn(context, object, count); });
        } catch (const std::exception&) {
            continue; // an object that cannot be read is copied as null anyway
        }
    }
    return cleared;
}
