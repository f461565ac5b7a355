#pragma once

#include <vector>

#include <QString>

#include "MuPdfSession.h"

// A document's bookmarks as plain values, so that they can be cut to a page range, moved by a
// page offset and written into another document whose pages were copied from the first.
class PdfOutline
{
public:
    struct Entry
    {
        QString title;
        int page = -1; // from 0; -1 when the bookmark points nowhere in this document
        float x = 0;
        float y = 0;
        bool open = false;
        std::vector<Entry> children;
    };

    static PdfOutline load(MuPdfSession& session, pdf_document* document);

    // Keeps the bookmarks that lead into pages first..last (from 0) and renumbers them from 0.
    // A chapter whose own page lies outside but which holds kept bookmarks stays, pointing at its
    // first kept child.
    PdfOutline range(int first, int last) const;
    // Moves every bookmark by offset pages.
    PdfOutline shifted(int offset) const;
    void append(const PdfOutline& other);
    bool isEmpty() const { return m_entries.empty(); }
    int count() const;

    // Replaces the outline of document (whose pages already exist) with these bookmarks.
    void write(MuPdfSession& session, pdf_document* document) const;

private:
    std::vector<Entry> m_entries;
};
