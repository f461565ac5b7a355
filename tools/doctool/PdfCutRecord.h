#pragma once

#include <QByteArray>

#include "MuPdfSession.h"
#include "PdfDestination.h"
#include "PdfNamedDestinations.h"
#include "PdfOutline.h"
#include "PdfPageLabels.h"

// What a cut page range carries of its whole document so that the merge of all ranges can put the
// document's bookmarks, named destinations, page labels and opening view together again, pages by
// their index in the whole document. It lives in the cut's catalog under a key of our own, which
// other readers pass over; the merge does not copy it.
class PdfCutRecord
{
public:
    static const char* const kKey;
    // The key of a link annotation, in a cut, whose target page lies outside the cut: its target,
    // page by index in the whole document. Such a link does nothing until the merge resolves it.
    static const char* const kLinkKey;

    QByteArray source; // identifies the whole document
    int first = 0;     // the range, from 0, in the whole document
    int last = -1;
    int pages = 0; // pages of the whole document
    PdfOutline outline;
    PdfNamedDestinations destinations;
    PdfPageLabels labels;
    PdfDestination openView;

    // Reads everything but the range from the whole document; actions are copied into target.
    static PdfCutRecord ofDocument(MuPdfSession& session, pdf_document* document, pdf_document* target,
                                   const QByteArray& source);
    void write(MuPdfSession& session, pdf_document* target) const;
    // Reads the record of part, if it has one. With `whole` false only source, range and page count
    // are read; actions are copied into target.
    static bool read(MuPdfSession& session, pdf_document* part, pdf_document* target, bool whole,
                     PdfCutRecord* record);
};
