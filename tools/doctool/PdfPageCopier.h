#pragma once

#include <QString>

#include "MuPdfSession.h"
#include "PdfOutline.h"

// Builds a new PDF from pages of other PDFs. Every source gets one graft map, so a resource that its
// pages share is copied once; saving stores objects with identical content once, so resources shared
// across sources (fonts, images) end up once in the result as well. The first source's document
// information and XMP metadata are carried over, and the bookmarks and annotations of the copied
// pages follow them (form fields and links that leave the copied pages do not).
class PdfPageCopier
{
public:
    explicit PdfPageCopier(MuPdfSession& session);
    ~PdfPageCopier();

    // Appends pages first..last (from 0) of source.
    void append(pdf_document* source, int first, int last);
    int pageCount() const { return m_pageCount; }
    // Saves the result and checks that it opens with every page.
    void save(const QString& path);

private:
    void copyMetadata(pdf_document* source, pdf_graft_map* map);

    MuPdfSession& m_session;
    pdf_document* m_target;
    PdfOutline m_outline;
    int m_pageCount;
    bool m_hasMetadata;
    int m_sourceCount;
};
