#include "PdfCompactWriter.h"

#include <stdexcept>

#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <QFile>

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
        QPDFWriter writer(pdf, toName.constData());
        writer.setObjectStreamMode(qpdf_o_generate);
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
        writer.write();
    } catch (const std::exception& error) {
        QFile::remove(to);
        throw std::runtime_error(error.what());
    }
}
