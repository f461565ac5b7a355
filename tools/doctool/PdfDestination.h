#pragma once

#include "MuPdfSession.h"

// Where a link, a bookmark or a named destination leads: a page (by its index, from 0) and the
// view on it ("XYZ" left top zoom, "Fit", "FitH" top, "FitR" left bottom right top, ...). A plain
// value, so that it can be read and written inside MuPDF guards and outlive the document it came
// from. A parameter that the file leaves null (keep the current value) is NaN.
struct PdfDestination {
    static const int kMaxParameters = 4;

    int page = -1;
    char kind[8] = {};
    int count = 0;
    float parameters[kMaxParameters] = {};

    bool isValid() const { return page >= 0; }

    // Resolves a destination as a document holds it (a name or string looked up among the named
    // destinations, a dictionary with /D, or an array whose first element is a page or a page
    // index) to a value. False when it leads to no page of document. Must run inside a guard.
    static bool resolve(fz_context* context, pdf_document* document, pdf_obj* destination,
                        PdfDestination* result);
    // The destination of a link action or a /Dest entry of an annotation or bookmark dictionary.
    static bool resolveOf(fz_context* context, pdf_document* document, pdf_obj* dictionary,
                          PdfDestination* result);

    // The view a document opens with (its /OpenAction, when that leads to a page).
    static bool resolveOpenAction(fz_context* context, pdf_document* document, PdfDestination* result);

    // An array for document: [page /kind parameters...], with page the given page object, or the
    // page index itself when page is null (the form that the cut carries for the merge). Must run
    // inside a guard; the caller owns the array.
    pdf_obj* toArray(fz_context* context, pdf_document* document, pdf_obj* pageObject) const;
    // Reads the index form back; false when array is not one.
    static bool fromIndexArray(fz_context* context, pdf_obj* array, PdfDestination* result);
};
