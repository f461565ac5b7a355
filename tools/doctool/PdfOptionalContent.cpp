#include "PdfOptionalContent.h"

namespace
{
pdf_obj* catalogOf(fz_context* context, pdf_document* document)
{
    return pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
}

bool holds(fz_context* context, pdf_obj* array, pdf_obj* layer)
{
    for (int i = 0; i < pdf_array_len(context, array); ++i) {
        if (!pdf_objcmp(context, pdf_array_get(context, array, i), layer))
            return true;
    }
    return false;
}

// The array under key of dictionary, made when missing.
pdf_obj* arrayOf(fz_context* context, pdf_obj* dictionary, pdf_obj* key)
{
    pdf_obj* array = pdf_dict_get(context, dictionary, key);
    return pdf_is_array(context, array) ? array : pdf_dict_put_array(context, dictionary, key, 4);
}

void appendAll(fz_context* context, pdf_obj* to, pdf_obj* from)
{
    for (int i = 0; i < pdf_array_len(context, from); ++i)
        pdf_array_push(context, to, pdf_array_get(context, from, i));
}

// Adds the layers of added to those of existing, both in the new document already. Each added layer
// is listed as on or off by itself, since the two documents may start from different base states.
void addLayers(fz_context* context, pdf_obj* existing, pdf_obj* added)
{
    pdf_obj* layers = pdf_dict_get(context, added, PDF_NAME(OCGs));
    pdf_obj* addedView = pdf_dict_get(context, added, PDF_NAME(D));
    const bool baseOff =
        pdf_name_eq(context, pdf_dict_get(context, addedView, PDF_NAME(BaseState)), PDF_NAME(OFF));
    pdf_obj* view = pdf_dict_get(context, existing, PDF_NAME(D));
    if (!pdf_is_dict(context, view))
        view = pdf_dict_put_dict(context, existing, PDF_NAME(D), 4);
    for (int i = 0; i < pdf_array_len(context, layers); ++i) {
        pdf_obj* layer = pdf_array_get(context, layers, i);
        const bool off = baseOff ? !holds(context, pdf_dict_get(context, addedView, PDF_NAME(ON)), layer)
                                 : holds(context, pdf_dict_get(context, addedView, PDF_NAME(OFF)), layer);
        pdf_array_push(context, arrayOf(context, view, off ? PDF_NAME(OFF) : PDF_NAME(ON)), layer);
    }
    appendAll(context, arrayOf(context, existing, PDF_NAME(OCGs)), layers);
    // A viewer lists the layers that the order names; without an order of its own, the added
    // document's layers are named as they come.
    if (pdf_is_array(context, pdf_dict_get(context, view, PDF_NAME(Order)))) {
        pdf_obj* order = pdf_dict_get(context, addedView, PDF_NAME(Order));
        appendAll(context, pdf_dict_get(context, view, PDF_NAME(Order)),
                  pdf_is_array(context, order) ? order : layers);
    }
    for (pdf_obj* key : {PDF_NAME(RBGroups), PDF_NAME(Locked)}) {
        pdf_obj* more = pdf_dict_get(context, addedView, key);
        if (pdf_array_len(context, more) > 0)
            appendAll(context, arrayOf(context, view, key), more);
    }
}
} // namespace

void PdfOptionalContent::copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source,
                              pdf_document* target)
{
    fz_context* context = session.context();
    session.run([&] {
        pdf_obj* properties = pdf_dict_get(context, catalogOf(context, source), PDF_NAME(OCProperties));
        if (!pdf_is_array(context, pdf_dict_get(context, properties, PDF_NAME(OCGs))))
            return;
        pdf_obj* copied = pdf_graft_mapped_object(context, map, properties);
        fz_try(context)
        {
            pdf_obj* catalog = catalogOf(context, target);
            pdf_obj* existing = pdf_dict_get(context, catalog, PDF_NAME(OCProperties));
            if (pdf_is_dict(context, existing))
                addLayers(context, existing, pdf_resolve_indirect(context, copied));
            else
                pdf_dict_put(context, catalog, PDF_NAME(OCProperties), copied);
        }
        fz_always(context)
        {
            pdf_drop_obj(context, copied);
        }
        fz_catch(context)
        {
            fz_rethrow(context);
        }
    });
}
