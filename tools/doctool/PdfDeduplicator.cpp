#include "PdfDeduplicator.h"

#include <string>
#include <unordered_map>

#include <QCryptographicHash>

namespace
{
// Each pass merges one more level of a chain; fonts need three, nothing real needs many more.
const int kMaxPasses = 12;

bool keepsIdentity(fz_context* context, pdf_obj* object)
{
    pdf_obj* type = pdf_dict_get(context, object, PDF_NAME(Type));
    return pdf_name_eq(context, type, PDF_NAME(Page)) || pdf_name_eq(context, type, PDF_NAME(Pages)) ||
           pdf_name_eq(context, type, PDF_NAME(Catalog));
}
} // namespace

int PdfDeduplicator::run(MuPdfSession& session, pdf_document* document)
{
    int merged = 0;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const int mergedNow = mergePass(session, document);
        if (mergedNow == 0)
            break;
        merged += mergedNow;
    }
    return merged;
}

QByteArray PdfDeduplicator::contentKey(MuPdfSession& session, pdf_document* document, int number)
{
    fz_context* context = session.context();
    QByteArray key;
    char* text = nullptr;
    size_t length = 0;
    fz_buffer* stream = nullptr;
    pdf_obj* object = nullptr;
    const auto release = [&] {
        fz_free(context, text);
        fz_drop_buffer(context, stream);
        pdf_drop_obj(context, object);
    };
    try {
        session.run([&] {
            pdf_xref_entry* entry = pdf_get_xref_entry(context, document, number);
            if (!entry || (entry->type != 'n' && entry->type != 'o'))
                return;
            object = pdf_load_object(context, document, number);
            if (keepsIdentity(context, object))
                return;
            text = pdf_sprint_obj(context, nullptr, 0, &length, object, 1, 0);
            // The loaded object is the stream's dictionary, which pdf_is_stream() does not see as a
            // stream: ask by number, or streams with equal dictionaries would pass for equal.
            if (pdf_obj_num_is_stream(context, document, number))
                stream = pdf_load_raw_stream_number(context, document, number);
        });
    } catch (...) {
        release();
        throw;
    }
    if (text)
        key = QByteArray(text, int(length));
    if (stream) {
        unsigned char* bytes = nullptr;
        const size_t size = fz_buffer_storage(context, stream, &bytes);
        QCryptographicHash digest(QCryptographicHash::Sha256);
        digest.addData(reinterpret_cast<const char*>(bytes), int(size));
        key += "\nstream " + QByteArray::number(qulonglong(size)) + ' ' + digest.result();
    }
    release();
    return key;
}

int PdfDeduplicator::mergePass(MuPdfSession& session, pdf_document* document)
{
    fz_context* context = session.context();
    int count = 0;
    session.run([&] { count = pdf_xref_len(context, document); });

    std::vector<int> target(size_t(count), 0);
    std::unordered_map<std::string, int> firstWithKey;
    int merged = 0;
    for (int number = 1; number < count; ++number) {
        target[size_t(number)] = number;
        const QByteArray key = contentKey(session, document, number);
        if (key.isEmpty())
            continue;
        const auto found = firstWithKey.emplace(key.toStdString(), number);
        if (!found.second) {
            target[size_t(number)] = found.first->second;
            ++merged;
        }
    }
    if (merged == 0)
        return 0;

    // Point every reference at the object kept; the merged ones are then unreferenced.
    for (int number = 1; number < count; ++number) {
        if (target[size_t(number)] != number)
            continue;
        session.withObject(document, number,
                           [&](pdf_obj* object) { redirect(context, document, object, target); });
    }
    session.run([&] { redirect(context, document, pdf_trailer(context, document), target); });
    return merged;
}

void PdfDeduplicator::redirect(fz_context* context, pdf_document* document, pdf_obj* object,
                               const std::vector<int>& target)
{
    const auto replacement = [&](pdf_obj* value) -> int {
        if (!pdf_is_indirect(context, value))
            return 0;
        const int number = pdf_to_num(context, value);
        if (number <= 0 || size_t(number) >= target.size() || target[size_t(number)] == number)
            return 0;
        return target[size_t(number)];
    };
    if (pdf_is_dict(context, object)) {
        const int length = pdf_dict_len(context, object);
        for (int i = 0; i < length; ++i) {
            pdf_obj* value = pdf_dict_get_val(context, object, i);
            if (const int to = replacement(value))
                pdf_dict_put_drop(context, object, pdf_dict_get_key(context, object, i),
                                  pdf_new_indirect(context, document, to, 0));
            else if (!pdf_is_indirect(context, value))
                redirect(context, document, value, target);
        }
    } else if (pdf_is_array(context, object)) {
        const int length = pdf_array_len(context, object);
        for (int i = 0; i < length; ++i) {
            pdf_obj* value = pdf_array_get(context, object, i);
            if (const int to = replacement(value))
                pdf_array_put_drop(context, object, i, pdf_new_indirect(context, document, to, 0));
            else if (!pdf_is_indirect(context, value))
                redirect(context, document, value, target);
        }
    }
}
