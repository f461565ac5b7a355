#include "PdfFileWriter.h"

#include <cstdio>

#include <QFile>

#include "FilePlacement.h"
#include "PdfCompactWriter.h"
#include "PdfDeduplicator.h"

void PdfFileWriter::save(MuPdfSession& session, pdf_document* document, const QString& path,
                         int expectedPages, bool compact)
{
    const QString temporary = FilePlacement::passingName(path);
    const QString written = temporary + ".mupdf";
    try {
        if (compact)
            PdfDeduplicator::run(session, document);
        session.savePdf(document, written,
                        compact ? MuPdfSession::Merging::Done : MuPdfSession::Merging::OnSave);
    } catch (const std::exception& error) {
        QFile::remove(written);
        throw std::runtime_error(QString("cannot write %1: %2").arg(path, error.what()).toStdString());
    }
    try {
        PdfCompactWriter::rewrite(written, temporary);
        QFile::remove(written);
    } catch (const std::exception& error) {
        // MuPDF's own file is whole and valid, only larger: better that than no result.
        std::fprintf(stderr, "cannot pack %s into object streams: %s\n", qPrintable(path), error.what());
        if (!FilePlacement::move(written, temporary)) {
            QFile::remove(written);
            throw std::runtime_error(QString("cannot write %1").arg(path).toStdString());
        }
    }
    commit(session, temporary, path, expectedPages);
}

void PdfFileWriter::commit(MuPdfSession& session, const QString& temporaryPath, const QString& path,
                           int expectedPages)
{
    const int pages = session.pageCountOf(temporaryPath);
    if (pages != expectedPages) {
        QFile::remove(temporaryPath);
        throw std::runtime_error(QString("the result for %1 has %2 pages instead of %3")
                                     .arg(path)
                                     .arg(pages)
                                     .arg(expectedPages)
                                     .toStdString());
    }
    // An older file goes first, so that a failed move leaves no output at all.
    QFile::remove(path);
    if (!FilePlacement::move(temporaryPath, path)) {
        QFile::remove(temporaryPath);
        throw std::runtime_error(QString("cannot write %1").arg(path).toStdString());
    }
}
