#pragma once

#include <QString>

#include "MuPdfSession.h"

class QPDF;

// A hybrid PDF, as LibreOffice writes one: besides its pages it carries the editable document it was
// made from (an ODF file), as a stream that its trailer names under /AdditionalStreams. LibreOffice
// opens such a PDF as that document only when the file has a cross-reference table (no stream) and
// its trailer's /DocChecksum is the MD5 digest of every byte before the keyword "trailer": a file
// changed since it was written opens as a drawing. The stream is carried byte for byte; the digest
// is made again for the file that holds the result.
class PdfHybridDocument
{
public:
    // Copies source's /AdditionalStreams and what it refers to into target's trailer, unless target
    // has them already. Only the first range of a cut needs them.
    static void copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, pdf_document* target);
    // Removes them from document: a document put together from several others is none of them.
    static void remove(MuPdfSession& session, pdf_document* document);

    // MuPDF writes a trailer of its own, without them: before document is saved, they move into its
    // catalog, where qpdf finds them again (restore()). True when document is a hybrid.
    static bool park(MuPdfSession& session, pdf_document* document);
    // Moves them from the catalog back into the trailer of pdf, with a /DocChecksum to be stamped
    // once the file is written; true when pdf is a hybrid. Its file must then be written with a
    // cross-reference table.
    static bool restore(QPDF& pdf);
    // Writes the digest into the /DocChecksum of the file at path; throws std::runtime_error when
    // the file has no such trailer.
    static void stampChecksum(const QString& path);
};
