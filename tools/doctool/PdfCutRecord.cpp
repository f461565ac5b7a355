#include "PdfCutRecord.h"

const char* const PdfCutRecord::kKey = "VornexCut";
const char* const PdfCutRecord::kLinkKey = "VornexDest";

namespace
{
struct Header {
    const char* source = nullptr;
    size_t sourceLength = 0;
    int first = 0;
    int last = -1;
    int pages = 0;
    pdf_obj* outline = nullptr;
    pdf_obj* destinations = nullptr;
    pdf_obj* labels = nullptr;
    PdfDestination openView;
};
} // namespace

PdfCutRecord PdfCutRecord::ofDocument(MuPdfSession& session, pdf_document* document, pdf_document* target,
                                      const QByteArray& source)
{
    PdfCutRecord record;
    fz_context* context = session.context();
    record.source = source;
    record.outline = PdfOutline::load(session, document, target);
    record.destinations = PdfNamedDestinations::load(session, document);
    record.labels = PdfPageLabels::load(session, document);
    session.run([&] {
        record.pages = pdf_count_pages(context, document);
        PdfDestination::resolveOpenAction(context, document, &record.openView);
    });
    return record;
}

void PdfCutRecord::write(MuPdfSession& session, pdf_document* target) const
{
    fz_context* context = session.context();
    pdf_obj* outlineRecord = outline.toRecord(session, target);
    pdf_obj* destinationRecord = nullptr;
    pdf_obj* labelRecord = nullptr;
    try {
        destinationRecord = destinations.toRecord(session, target);
        labelRecord = labels.toRecord(session, target);
        session.run([&] {
            pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, target), PDF_NAME(Root));
            pdf_dict_puts_drop(context, root, kKey, pdf_add_new_dict(context, target, 8));
            pdf_obj* item = pdf_dict_gets(context, root, kKey);
            pdf_dict_puts_drop(context, item, "Source",
                               pdf_new_string(context, source.constData(), size_t(source.size())));
            pdf_dict_puts_drop(context, item, "First", pdf_new_int(context, first));
            pdf_dict_puts_drop(context, item, "Last", pdf_new_int(context, last));
            pdf_dict_puts_drop(context, item, "Pages", pdf_new_int(context, pages));
            pdf_dict_puts(context, item, "Outlines", outlineRecord);
            pdf_dict_puts(context, item, "Dests", destinationRecord);
            pdf_dict_puts(context, item, "PageLabels", labelRecord);
            if (openView.isValid())
                pdf_dict_puts_drop(context, item, "OpenAction", openView.toArray(context, target, nullptr));
        });
    } catch (...) {
        pdf_drop_obj(context, labelRecord);
        pdf_drop_obj(context, destinationRecord);
        pdf_drop_obj(context, outlineRecord);
        throw;
    }
    pdf_drop_obj(context, labelRecord);
    pdf_drop_obj(context, destinationRecord);
    pdf_drop_obj(context, outlineRecord);
}

bool PdfCutRecord::read(MuPdfSession& session, pdf_document* part, pdf_document* target, bool whole,
                        PdfCutRecord* record)
{
    fz_context* context = session.context();
    Header header;
    bool found = false;
    session.run([&] {
        pdf_obj* item =
            pdf_dict_gets(context, pdf_dict_getp(context, pdf_trailer(context, part), "Root"), kKey);
        pdf_obj* source = pdf_dict_gets(context, item, "Source");
        if (!pdf_is_dict(context, item) || !pdf_is_string(context, source))
            return;
        found = true;
        header.source = pdf_to_str_buf(context, source);
        header.sourceLength = pdf_to_str_len(context, source);
        header.first = pdf_to_int(context, pdf_dict_gets(context, item, "First"));
        header.last = pdf_to_int(context, pdf_dict_gets(context, item, "Last"));
        header.pages = pdf_to_int(context, pdf_dict_gets(context, item, "Pages"));
        header.outline = pdf_dict_gets(context, item, "Outlines");
        header.destinations = pdf_dict_gets(context, item, "Dests");
        header.labels = pdf_dict_gets(context, item, "PageLabels");
        PdfDestination::fromIndexArray(context, pdf_dict_gets(context, item, "OpenAction"), &header.openView);
    });
    if (!found || header.first < 0 || header.last < header.first || header.last >= header.pages)
        return false;
    *record = PdfCutRecord();
    record->source = QByteArray(header.source, int(header.sourceLength));
    record->first = header.first;
    record->last = header.last;
    record->pages = header.pages;
    if (!whole)
        return true;
    record->outline = PdfOutline::fromRecord(session, part, header.outline, target);
    record->destinations = PdfNamedDestinations::fromRecord(session, header.destinations);
    record->labels = PdfPageLabels::fromRecord(session, header.labels);
    record->openView = header.openView;
    return true;
}
