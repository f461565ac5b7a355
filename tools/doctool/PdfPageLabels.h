#pragma once

#include <vector>

#include <QByteArray>

#include "MuPdfSession.h"

// A document's page labels (the numbers a viewer shows: i, ii, 1, 2, A-1, ...) as plain values: the
// ranges of pages that share a style, a prefix and a running number.
class PdfPageLabels
{
public:
    struct Range {
        int start = 0;     // first page of the range (from 0)
        QByteArray style;  // "D" 1 2 3, "R" I II, "r" i ii, "A" A B, "a" a b, or empty for the prefix alone
        QByteArray prefix; // as the file stores it
        int first = 1;     // the number of the range's first page

        bool operator==(const Range& other) const
        {
            return start == other.start && style == other.style && prefix == other.prefix &&
                   first == other.first;
        }
    };

    // One page of a new document: page (from 0) of a document with these labels.
    struct Source {
        const PdfPageLabels* labels;
        int page;
    };

    static PdfPageLabels load(MuPdfSession& session, pdf_document* document);
    static PdfPageLabels fromRecord(MuPdfSession& session, pdf_obj* record);
    // [[start style prefix first] ...]; the caller owns it.
    pdf_obj* toRecord(MuPdfSession& session, pdf_document* target) const;

    // The labels of a document whose pages are sources, in order, so that every page keeps the
    // label it had. Empty when none of the sources has labels.
    static PdfPageLabels forPages(const std::vector<Source>& sources);

    bool isEmpty() const { return m_ranges.empty(); }

    // Writes the labels as the /PageLabels number tree of target.
    void write(MuPdfSession& session, pdf_document* target) const;

private:
    // The range that holds page, or -1 for the plain numbers of a page before any range.
    int rangeOf(int page) const;

    std::vector<Range> m_ranges;
};
