#include "PdfConformanceClaim.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

namespace
{
// The pdfaid properties go, written as attributes or as elements.
QByteArray withoutClaim(const QByteArray& xmp)
{
    QString text = QString::fromUtf8(xmp);
    text.remove(QRegularExpression("\\s*pdfaid:\\w+\\s*=\\s*(\"[^\"]*\"|'[^']*')"));
    text.remove(QRegularExpression("<pdfaid:(\\w+)>[^<]*</pdfaid:\\1>"));
    return text.toUtf8();
}
} // namespace

int PdfConformanceClaim::part(const QByteArray& xmp)
{
    const QRegularExpressionMatch claim =
        QRegularExpression("pdfaid:part\\s*(?:=\\s*[\"']|>)\\s*(\\d+)").match(QString::fromUtf8(xmp));
    return claim.hasMatch() ? claim.captured(1).toInt() : 0;
}

void PdfConformanceClaim::withdraw(MuPdfSession& session, pdf_document* document)
{
    fz_context* context = session.context();
    pdf_obj* metadata = nullptr;
    fz_buffer* buffer = nullptr;
    session.run([&] {
        pdf_obj* catalog = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
        metadata = pdf_dict_get(context, catalog, PDF_NAME(Metadata));
        if (pdf_is_stream(context, metadata))
            buffer = pdf_load_stream(context, metadata);
    });
    if (!buffer)
        return;
    unsigned char* data = nullptr;
    const size_t length = fz_buffer_storage(context, buffer, &data);
    const QByteArray xmp = withoutClaim(QByteArray(reinterpret_cast<const char*>(data), int(length)));
    fz_drop_buffer(context, buffer);
    buffer = nullptr;
    session.run([&] {
        buffer = fz_new_buffer_from_copied_data(
            context, reinterpret_cast<const unsigned char*>(xmp.constData()), size_t(xmp.size()));
        fz_try(context)
        {
            // Stored as it reads: XMP is meant to be found in the file by tools that cannot decode.
            pdf_update_stream(context, document, metadata, buffer, 0);
            pdf_dict_del(context, metadata, PDF_NAME(Filter));
            pdf_dict_del(context, metadata, PDF_NAME(DecodeParms));
        }
        fz_always(context)
        {
            fz_drop_buffer(context, buffer);
        }
        fz_catch(context)
        {
            fz_rethrow(context);
        }
    });
}
