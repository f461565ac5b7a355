#include "PdfFileWriter.h"

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FilePlacement.h"
#include "PdfCompactWriter.h"
#include "PdfDeduplicator.h"
#include "PdfHybridDocument.h"

void PdfFileWriter::save(MuPdfSession& session, pdf_document* document, const QString& path,
                         int expectedPages, bool compact, const QString& encryptedLike)
{
    // Both stages are written in the system's temporary folder (the engines point it at the job's
    // own), never beside the output, so a run that is killed leaves nothing there.
    QTemporaryDir staging(QDir::tempPath() + "/pdf-XXXXXX");
    if (!staging.isValid())
        throw std::runtime_error(QString("cannot write %1: no temporary folder").arg(path).toStdString());
    const QString written = staging.filePath("saved.pdf");
    const QString packed = staging.filePath("packed.pdf");
    try {
        if (compact)
            PdfDeduplicator::run(session, document);
        PdfHybridDocument::park(session, document);
        session.savePdf(document, written,
                        compact ? MuPdfSession::Merging::Done : MuPdfSession::Merging::OnSave);
    } catch (const std::exception& error) {
        throw std::runtime_error(QString("cannot write %1: %2").arg(path, error.what()).toStdString());
    }
    QString result = packed;
    try {
        PdfCompactWriter::rewrite(written, packed, encryptedLike);
    } catch (const std::exception& error) {
        // An owner's restrictions are not given up for the sake of a result.
        if (!encryptedLike.isEmpty())
            throw std::runtime_error(QString("cannot write %1 encrypted as %2: %3")
                                         .arg(path, encryptedLike, error.what())
                                         .toStdString());
        // MuPDF's own file is whole and valid, only larger: better that than no result.
        std::fprintf(stderr, "cannot pack %s into object streams: %s\n", qPrintable(path), error.what());
        result = written;
    }
    commit(session, result, path, expectedPages);
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
    // Replaces what the output held in one step: it holds the old file or the whole new one.
    if (!FilePlacement::move(temporaryPath, path)) {
        QFile::remove(temporaryPath);
        throw std::runtime_error(QString("cannot write %1").arg(path).toStdString());
    }
}
