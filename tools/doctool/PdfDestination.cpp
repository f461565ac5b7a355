#include "PdfDestination.h"

#include <cmath>
#include <cstring>

#include "PdfTreeWalker.h"

namespace
{
bool isKnownKind(const char* kind)
{
    static const char* const kinds[] = {"XYZ", "Fit", "FitH", "FitV", "FitR", "FitB", "FitBH", "FitBV"};
    for (const char* known : kinds) {
        if (std::strcmp(kind, known) == 0)
            return true;
    }
    return false;
}

// A named destination: a name in the old /Dests dictionary, a string in the /Dests name tree (or,
// failing that, in the dictionary). MuPDF's own lookup never reaches the tree when the dictionary
// exists as well.
pdf_obj* lookupNamed(fz_context* context, pdf_document* document, pdf_obj* needle)
{
    pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
    pdf_obj* old = pdf_dict_get(context, root, PDF_NAME(Dests));
    if (pdf_is_name(context, needle))
        return pdf_dict_get(context, old, needle);
    pdf_obj* found = PdfTreeWalker::find(context, pdf_dict_getp(context, root, "Names/Dests"),
                                         PdfTreeWalker::Kind::Names, needle);
    return found ? found : pdf_dict_gets(context, old, pdf_to_str_buf(context, needle));
}

// Reads kind and parameters from array elements 1.. into result; the page is set by the caller.
bool readView(fz_context* context, pdf_obj* array, PdfDestination* result)
{
    const char* kind = pdf_is_name(context, pdf_array_get(context, array, 1))
                           ? pdf_to_name(context, pdf_array_get(context, array, 1))
                           : "XYZ";
    if (!isKnownKind(kind))
        return false;
    std::strncpy(result->kind, kind, sizeof result->kind - 1);
    result->count = 0;
    const int length = pdf_array_len(context, array);
    for (int i = 2; i < length && result->count < PdfDestination::kMaxParameters; ++i) {
        pdf_obj* value = pdf_array_get(context, array, i);
        result->parameters[result->count++] =
            pdf_is_number(context, value) ? pdf_to_real(context, value) : std::nanf("");
    }
    return true;
}
} // namespace

bool PdfDestination::resolve(fz_context* context, pdf_document* document, pdf_obj* destination,
                             PdfDestination* result)
{
    *result = PdfDestination();
    if (pdf_is_name(context, destination) || pdf_is_string(context, destination))
        destination = lookupNamed(context, document, destination);
    if (pdf_is_dict(context, destination))
        destination = pdf_dict_get(context, destination, PDF_NAME(D));
    if (!pdf_is_array(context, destination))
        return false;
    pdf_obj* page = pdf_array_get(context, destination, 0);
    int index = -1;
    if (pdf_is_indirect(context, page))
        index = pdf_lookup_page_number(context, document, page);
    else if (pdf_is_int(context, page))
        index = pdf_to_int(context, page);
    if (index < 0 || index >= pdf_count_pages(context, document))
        return false;
    if (!readView(context, destination, result))
        return false;
    result->page = index;
    return true;
}

bool PdfDestination::resolveOf(fz_context* context, pdf_document* document, pdf_obj* dictionary,
                               PdfDestination* result)
{
    *result = PdfDestination();
    pdf_obj* destination = pdf_dict_get(context, dictionary, PDF_NAME(Dest));
    if (!destination) {
        pdf_obj* action = pdf_dict_get(context, dictionary, PDF_NAME(A));
        if (!pdf_name_eq(context, pdf_dict_get(context, action, PDF_NAME(S)), PDF_NAME(GoTo)))
            return false;
        destination = pdf_dict_get(context, action, PDF_NAME(D));
    }
    return destination && resolve(context, document, destination, result);
}

bool PdfDestination::resolveOpenAction(fz_context* context, pdf_document* document, PdfDestination* result)
{
    *result = PdfDestination();
    pdf_obj* open = pdf_dict_getp(context, pdf_trailer(context, document), "Root/OpenAction");
    if (pdf_is_array(context, open))
        return resolve(context, document, open, result);
    if (pdf_name_eq(context, pdf_dict_get(context, open, PDF_NAME(S)), PDF_NAME(GoTo)))
        return resolve(context, document, pdf_dict_get(context, open, PDF_NAME(D)), result);
    return false;
}

pdf_obj* PdfDestination::toArray(fz_context* context, pdf_document* document, pdf_obj* pageObject) const
{
    pdf_obj* array = pdf_new_array(context, document, 2 + count);
    fz_try(context)
    {
        if (pageObject)
            pdf_array_push(context, array, pageObject);
        else
            pdf_array_push_int(context, array, page);
        pdf_array_push_name(context, array, kind);
        for (int i = 0; i < count; ++i) {
            if (std::isnan(parameters[i]))
                pdf_array_push(context, array, PDF_NULL);
            else
                pdf_array_push_real(context, array, parameters[i]);
        }
    }
    fz_catch(context)
    {
        pdf_drop_obj(context, array);
        fz_rethrow(context);
    }
    return array;
}

bool PdfDestination::fromIndexArray(fz_context* context, pdf_obj* array, PdfDestination* result)
{
    *result = PdfDestination();
    pdf_obj* page = pdf_array_get(context, array, 0);
    if (!pdf_is_array(context, array) || !pdf_is_int(context, page) || pdf_to_int(context, page) < 0)
        return false;
    if (!readView(context, array, result))
        return false;
    result->page = pdf_to_int(context, page);
    return true;
}
