#include "PdfHybridDocument.h"

#include <stdexcept>
#include <string>

#include <qpdf/QPDF.hh>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>

namespace
{
const char* const kStreams = "AdditionalStreams";
// Where they wait in the catalog while MuPDF writes the file.
const char* const kParked = "VornexAdditionalStreams";
// The hexadecimal digits of an MD5 digest.
const int kDigestDigits = 32;
// The trailer stands at the end of the file: it is looked for in its last bytes.
const qint64 kTrailerSearch = 64 * 1024;
const qint64 kReadPiece = 1024 * 1024;

QByteArray placeholder()
{
    return "/DocChecksum /" + QByteArray(kDigestDigits, '0');
}
} // namespace

void PdfHybridDocument::copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source,
                             pdf_document* target)
{
    fz_context* context = session.context();
    session.run([&] {
        pdf_obj* streams = pdf_dict_gets(context, pdf_trailer(context, source), kStreams);
        pdf_obj* trailer = pdf_trailer(context, target);
        if (pdf_is_array(context, streams) && !pdf_dict_gets(context, trailer, kStreams))
            pdf_dict_puts_drop(context, trailer, kStreams, pdf_graft_mapped_object(context, map, streams));
    });
}

void PdfHybridDocument::remove(MuPdfSession& session, pdf_document* document)
{
    fz_context* context = session.context();
    session.run([&] { pdf_dict_dels(context, pdf_trailer(context, document), kStreams); });
}

bool PdfHybridDocument::park(MuPdfSession& session, pdf_document* document)
{
    fz_context* context = session.context();
    bool hybrid = false;
    session.run([&] {
        pdf_obj* trailer = pdf_trailer(context, document);
        pdf_obj* streams = pdf_dict_gets(context, trailer, kStreams);
        if (!pdf_is_array(context, streams))
            return;
        pdf_dict_puts(context, pdf_dict_get(context, trailer, PDF_NAME(Root)), kParked, streams);
        pdf_dict_dels(context, trailer, kStreams);
        hybrid = true;
    });
    return hybrid;
}

bool PdfHybridDocument::restore(QPDF& pdf)
{
    QPDFObjectHandle catalog = pdf.getRoot();
    const std::string parked = std::string("/") + kParked;
    if (!catalog.hasKey(parked))
        return false;
    QPDFObjectHandle streams = catalog.getKey(parked);
    catalog.removeKey(parked);
    QPDFObjectHandle trailer = pdf.getTrailer();
    trailer.replaceKey(std::string("/") + kStreams, streams);
    trailer.replaceKey("/DocChecksum", QPDFObjectHandle::newName("/" + std::string(kDigestDigits, '0')));
    return true;
}

void PdfHybridDocument::stampChecksum(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        throw std::runtime_error(QString("cannot open %1").arg(path).toStdString());
    const qint64 size = file.size();
    const qint64 tailStart = qMax<qint64>(0, size - kTrailerSearch);
    if (!file.seek(tailStart))
        throw std::runtime_error(QString("cannot read %1").arg(path).toStdString());
    const QByteArray tail = file.read(size - tailStart);
    const int keyword = tail.lastIndexOf("trailer");
    const int entry = keyword < 0 ? -1 : tail.indexOf(placeholder(), keyword);
    if (entry < 0)
        throw std::runtime_error(QString("%1 has no trailer for its checksum").arg(path).toStdString());

    QCryptographicHash digest(QCryptographicHash::Md5);
    qint64 left = tailStart + keyword;
    file.seek(0);
    while (left > 0) {
        const QByteArray piece = file.read(qMin(left, kReadPiece));
        if (piece.isEmpty())
            throw std::runtime_error(QString("cannot read %1").arg(path).toStdString());
        digest.addData(piece);
        left -= piece.size();
    }
    const QByteArray digits = digest.result().toHex().toUpper();
    if (!file.seek(tailStart + entry + placeholder().size() - kDigestDigits) ||
        file.write(digits) != digits.size() || !file.flush())
        throw std::runtime_error(QString("cannot write %1").arg(path).toStdString());
}
