#pragma once

#include <vector>

#include <QByteArray>

#include "MuPdfSession.h"
#include "PdfDestination.h"

// A document's named destinations (the old /Dests dictionary and the /Dests name tree) as plain
// values, so that they can be carried into a document put together from its pages.
class PdfNamedDestinations
{
public:
    struct Entry {
        QByteArray name;
        PdfDestination destination;
    };

    static PdfNamedDestinations load(MuPdfSession& session, pdf_document* document);
    static PdfNamedDestinations fromRecord(MuPdfSession& session, pdf_obj* record);
    // [name destination name destination ...], pages by index; the caller owns it.
    pdf_obj* toRecord(MuPdfSession& session, pdf_document* target) const;

    // The names whose page is in pageMap (old index -> new index, -1 for a page that is not there).
    PdfNamedDestinations mapped(const std::vector<int>& pageMap) const;
    // Adds other's names; a name already present keeps the destination it has.
    void append(const PdfNamedDestinations& other);

    // Writes the names as the /Dests name tree of target, whose pages they lead to.
    void write(MuPdfSession& session, pdf_document* target) const;

private:
    std::vector<Entry> m_entries;
};
