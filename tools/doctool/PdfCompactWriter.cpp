#include "PdfCompactWriter.h"

#include <stdexcept>

#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <QFile>

#include "PdfConformanceClaim.h"
#include "PdfHybridDocument.h"

namespace
{
// The part of PDF/A that the document's XMP metadata claims, 0 for none.
int claimedPart(QPDF& pdf)
{
    QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
    if (!metadata.isStream())
        return 0;
    try {
        const std::shared_ptr<Buffer> data = metadata.getStreamData(qpdf_dl_generalized);
        return PdfConformanceClaim::part(
            QByteArray(reinterpret_cast<const char*>(data->getBuffer()), int(data->getSize())));
    } catch (const std::exception&) {
        return 0;
    }
}
} // namespace

void PdfCompactWriter::rewrite(const QString& from, const QString& to, const QString& encryptedLike)
{
    const QByteArray fromName = QFile::encodeName(from);
    const QByteArray toName = QFile::encodeName(to);
    const QByteArray likeName = QFile::encodeName(encryptedLike);
    try {
        Pl_Flate::setCompressionLevel(9);
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(fromName.constData());
        const int part = claimedPart(pdf);
        const bool hybrid = PdfHybridDocument::restore(pdf);
        QPDFWriter writer(pdf, toName.constData());
        // PDF/A-1 is PDF 1.4, which knows neither object streams nor cross-reference streams; nor
        // does LibreOffice's reading of a hybrid's trailer.
        const bool classic = part == 1 || hybrid;
        writer.setObjectStreamMode(classic ? qpdf_o_disable : qpdf_o_generate);
        // What PDF/A asks of every stream.
        if (part > 0)
            writer.setNewlineBeforeEndstream(true);
        writer.setCompressStreams(true);
        writer.setDecodeLevel(qpdf_dl_generalized);
        QPDF like;
        if (!encryptedLike.isEmpty()) {
            like.setSuppressWarnings(true);
            like.processFile(likeName.constData());
            if (!like.isEncrypted())
                throw std::runtime_error(QString("%1 is not encrypted").arg(encryptedLike).toStdString());
            // The identifier is part of the key: it comes from there too, so it cannot be derived
            // from the content.
            writer.copyEncryptionParameters(like);
        } else {
            writer.setDeterministicID(true);
        }
        if (part == 1 && encryptedLike.isEmpty())
            writer.forcePDFVersion("1.4");
        writer.write();
        if (hybrid)
            PdfHybridDocument::stampChecksum(to);
    } catch (const std::exception& error) {
        QFile::remove(to);
        throw std::runtime_error(error.what());
    }
}
