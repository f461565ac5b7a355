#pragma once

#include <map>

#include "MuPdfSession.h"

// A document's form (the catalog's /AcroForm): the fields whose widgets lie on copied pages, with
// their values, default appearance and the fields above them, each widget a kid of its field again;
// the form's own keys (its resources, NeedAppearances) come along. A merge of cuts of one document
// unites the fields that a range boundary split: one field of one name, with the widgets of every
// cut among its kids.
class PdfFormCopier
{
public:
    // widgets: source annotation object number -> target object number of the annotations copied
    // with the pages (widgets among them). unite: join fields to those of equal names in target.
    static void copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source,
                     const std::map<int, int>& widgets, pdf_document* target, bool unite);
};
