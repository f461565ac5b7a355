#pragma once

#include <vector>

#include <QByteArray>

#include "MuPdfSession.h"
#include "PdfDestination.h"

// A document's bookmarks as plain values, so that they can be carried from one document into
// another whose pages came from the first: read them, map their pages to the new document's pages,
// write them there.
class PdfOutline
{
public:
    struct Entry {
        QByteArray title; // as the file stores it (PDFDocEncoding, or UTF-16 with its byte order mark)
        bool open = false;
        PdfDestination destination; // invalid when the bookmark leads to no page
        int action = 0;             // object number, in the document written, of an action other than "go to"
        int flags = 0;              // bold, italic
        std::vector<float> colour;
        std::vector<Entry> children;
    };

    // Reads the bookmarks of document. Actions other than "go to" (a web address, a named action)
    // are copied into target, the document the entries are then meant for.
    static PdfOutline load(MuPdfSession& session, pdf_document* document, pdf_document* target);
    // The same from the array that toRecord() wrote into recordDocument.
    static PdfOutline fromRecord(MuPdfSession& session, pdf_document* recordDocument, pdf_obj* record,
                                 pdf_document* target);
    // The entries as one array of target, pages by index; the caller owns it.
    pdf_obj* toRecord(MuPdfSession& session, pdf_document* target) const;

    // The entries with their pages moved through pageMap (old index -> new index, or -1 for a page
    // that is not there). A bookmark whose page is gone stays when bookmarks below it stay, leading
    // to the first of them; one that leads to no page at all stays when keepUntargeted is set or
    // bookmarks below it stay.
    PdfOutline mapped(const std::vector<int>& pageMap, bool keepUntargeted) const;
    void append(const PdfOutline& other);

    // Writes the entries as the outline of target, whose pages they lead to.
    void write(MuPdfSession& session, pdf_document* target) const;

private:
    std::vector<Entry> m_entries;
};
