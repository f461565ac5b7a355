#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "MuPdfSession.h"
#include "PdfAnnotationCopier.h"
#include "PdfCutRecord.h"

// Builds a new PDF from pages of other PDFs: a cut (one page range of a whole document) or a merge
// (every page of several documents, in order). Every source gets one graft map, so a resource that
// its pages share is copied once; saving stores objects with identical content once, so resources
// shared across sources (fonts, images) end up once in the result as well. The first source's
// document information, XMP metadata, document actions and associated files are carried over, and
// every source's layers (optional content), those of cuts of one document once; its form fields,
// attachments, JavaScript and structure tree (PdfFormCopier, PdfNameTrees, PdfStructureCopier).
// The editable document of a hybrid PDF goes with the first range of a cut, and into a merge of the
// cuts of one document (PdfHybridDocument); a merge of other documents is none of them.
// A reference to an object that a source does not hold is read as the null it stands for
// (PdfDanglingReferences): an entry that names nothing is left out, the rest is copied.
//
// A cut keeps, for the range alone, the bookmarks, named destinations, links and page labels that
// lead into it, and carries those of the whole document beside them (PdfCutRecord). A merge of
// cuts that all come from one document puts the whole document's bookmarks, named destinations,
// links across ranges, page labels and opening view together again from what they carry; a merge
// of other documents appends each one's own.
class PdfPageCopier
{
public:
    explicit PdfPageCopier(MuPdfSession& session);
    ~PdfPageCopier();
    PdfPageCopier(const PdfPageCopier&) = delete;
    PdfPageCopier& operator=(const PdfPageCopier&) = delete;

    // The cut: pages first..last (from 0) of the whole document source, which `sourceKey` names.
    void cut(pdf_document* source, int first, int last, const QByteArray& sourceKey);
    // The merge: appends every page of part.
    void append(pdf_document* part);
    // Saves the result and checks that it opens with every page; encrypted as encryptedLike when
    // that is given (PdfFileWriter).
    void save(const QString& path, const QString& encryptedLike = QString());

private:
    struct Part {
        int offset = 0;
        int count = 0;
        bool carries = false;
        PdfCutRecord record; // only source, range and page count, but for the first part
        PdfOutline outline;
        PdfNamedDestinations destinations;
        PdfPageLabels labels;
        PdfDestination openView;
    };

    // withLayers: also carry the source's optional content (PdfOptionalContent). unite: source is a
    // cut of the same document as a part before it, whose form fields and structure elements it
    // continues.
    void copyPages(pdf_document* source, int first, int last, PdfAnnotationCopier::Purpose purpose,
                   bool withLayers, bool unite);
    // Whether a part appended before carries a cut of the whole document named source.
    bool carriedBefore(const QByteArray& source) const;
    void copyMetadata(pdf_document* source, pdf_graft_map* map);
    void finishCut();
    void finishMerge();
    bool partsShareOneWhole() const;
    void writeOpenView();

    MuPdfSession& m_session;
    pdf_document* m_target;
    int m_pageCount;
    bool m_hasMetadata;
    bool m_isCut;
    PdfCutRecord m_cut; // what the cut carries
    std::vector<Part> m_parts;
    PdfOutline m_outline;
    PdfNamedDestinations m_destinations;
    PdfPageLabels m_labels;
    PdfDestination m_openView;
};
