#pragma once

#include <QString>

#include "MuPdfSession.h"

// Writes a PDF so that the output path only ever holds a whole, valid result: the document is saved in
// a folder of its own in the system's temporary folder, reopened and its pages counted, and only then
// moved into place (FilePlacement). On any failure the output path holds what it held before and the
// reason is thrown.
class PdfFileWriter
{
public:
    // `compact`: also store chains of identical objects once (see PdfDeduplicator); for documents
    // put together from several sources. `encryptedLike`: the encrypted PDF whose encryption (owner
    // password and permissions) the result takes; empty for none.
    static void save(MuPdfSession& session, pdf_document* document, const QString& path, int expectedPages,
                     bool compact = false, const QString& encryptedLike = QString());
    // Same check for a file already written at temporaryPath, then moved to path.
    static void commit(MuPdfSession& session, const QString& temporaryPath, const QString& path,
                       int expectedPages);
};
