#include "PdfDestination.h"

#include <cmath>
#include <cstring>

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

int compareKey(fz_context* context, pdf_obj* key, const char* needle, size_t length)
{
    const char* bytes = pdf_to_str_buf(context, key);
    const size_t size = pdf_to_str_len(context, key);
    const int order = std::memcmp(bytes, needle, size < length ? size : length);
    if (order != 0)
        return order;
    return size < length ? -1 : (size > length ? 1 : 0);
}

// Looks a name up in one node of a name tree and below: a binary search in sorted leaves, then a
// plain one for trees that are not sorted as they should be.
pdf_obj* lookupInTree(fz_context* context, pdf_obj* node, const char* needle, size_t length, int depth)
{
    if (!node || depth > 32)
        return nullptr;
    pdf_obj* limits = pdf_dict_get(context, node, PDF_NAME(Limits));
    if (pdf_array_len(context, limits) == 2 &&
        (compareKey(context, pdf_array_get(context, limits, 0), needle, length) > 0 ||
         compareKey(context, pdf_array_get(context, limits, 1), needle, length) < 0))
        return nullptr;
    pdf_obj* pairs = pdf_dict_get(context, node, PDF_NAME(Names));
    int low = 0;
    int high = pdf_array_len(context, pairs) / 2 - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int order = compareKey(context, pdf_array_get(context, pairs, 2 * middle), needle, length);
        if (order == 0)
            return pdf_array_get(context, pairs, 2 * middle + 1);
        if (order < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    for (int i = 0; i + 1 < pdf_array_len(context, pairs); i += 2) {
        if (compareKey(context, pdf_array_get(context, pairs, i), needle, length) == 0)
            return pdf_array_get(context, pairs, i + 1);
    }
    pdf_obj* kids = pdf_dict_get(context, node, PDF_NAME(Kids));
    for (int i = 0; i < pdf_array_len(context, kids); ++i) {
        pdf_obj* found = lookupInTree(context, pdf_array_get(context, kids, i), needle, length, depth + 1);
        if (found)
            return found;
    }
    return nullptr;
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
    pdf_obj* found = lookupInTree(context, pdf_dict_getp(context, root, "Names/Dests"),
                                  pdf_to_str_buf(context, needle), pdf_to_str_len(context, needle), 0);
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
