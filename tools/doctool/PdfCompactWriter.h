#pragma once

#include <QString>

// Writes a PDF again in its most compact lossless form, through qpdf: objects packed into
// compressed object streams, a cross-reference stream instead of the table, every stream compressed
// (old LZW, run-length and ASCII codings become Flate), objects that nothing refers to dropped.
// MuPDF writes none of the first two, which real PDF 1.5 files rely on for their size. Two kinds of
// document keep every object on its own and a cross-reference table: one that claims PDF/A-1 (PDF
// 1.4, which has neither; its header says 1.4) and a hybrid one (PdfHybridDocument, whose trailer
// gets its checksum). Any PDF/A claim also puts a line end before every "endstream".
class PdfCompactWriter
{
public:
    // Writes the PDF at from as to; throws std::runtime_error with the reason. With encryptedLike,
    // an encrypted PDF that opens without a password, to is encrypted as that one is: the same
    // owner password and permissions.
    static void rewrite(const QString& from, const QString& to, const QString& encryptedLike = QString());
};
