#include "PdfNamedDestinations.h"

#include <algorithm>

#include "PdfTreeWalker.h"

namespace
{
struct Pair {
    const char* name = nullptr;
    size_t length = 0;
    PdfDestination destination;
    bool valid = false;
};
} // namespace

PdfNamedDestinations PdfNamedDestinations::load(MuPdfSession& session, pdf_document* document)
{
    PdfNamedDestinations names;
    fz_context* context = session.context();
    pdf_obj* old = nullptr;
    pdf_obj* tree = nullptr;
    int oldCount = 0;
    session.run([&] {
        pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
        old = pdf_dict_get(context, root, PDF_NAME(Dests));
        oldCount = pdf_dict_len(context, old);
        tree = pdf_dict_getp(context, root, "Names/Dests");
    });
    for (int i = 0; i < oldCount; ++i) {
        Pair pair;
        session.run([&] {
            const char* name = pdf_to_name(context, pdf_dict_get_key(context, old, i));
            pair.name = name;
            pair.length = strlen(name);
            pair.valid = PdfDestination::resolve(context, document, pdf_dict_get_val(context, old, i),
                                                 &pair.destination);
        });
        if (pair.valid && pair.length > 0)
            names.m_entries.push_back({QByteArray(pair.name, int(pair.length)), pair.destination});
    }
    for (const PdfTreeWalker::Pair& entry : PdfTreeWalker::pairs(session, tree, PdfTreeWalker::Kind::Names)) {
        Pair pair;
        session.run([&] {
            pair.name = pdf_to_str_buf(context, entry.key);
            pair.length = pdf_to_str_len(context, entry.key);
            pair.valid = PdfDestination::resolve(context, document, entry.value, &pair.destination);
        });
        if (pair.valid)
            names.m_entries.push_back({QByteArray(pair.name, int(pair.length)), pair.destination});
    }
    return names;
}

PdfNamedDestinations PdfNamedDestinations::fromRecord(MuPdfSession& session, pdf_obj* record)
{
    PdfNamedDestinations names;
    fz_context* context = session.context();
    int pairCount = 0;
    session.run([&] { pairCount = pdf_array_len(context, record) / 2; });
    for (int i = 0; i < pairCount; ++i) {
        Pair pair;
        session.run([&] {
            pdf_obj* key = pdf_array_get(context, record, 2 * i);
            pair.name = pdf_to_str_buf(context, key);
            pair.length = pdf_to_str_len(context, key);
            pair.valid = PdfDestination::fromIndexArray(context, pdf_array_get(context, record, 2 * i + 1),
                                                        &pair.destination);
        });
        if (pair.valid)
            names.m_entries.push_back({QByteArray(pair.name, int(pair.length)), pair.destination});
    }
    return names;
}

pdf_obj* PdfNamedDestinations::toRecord(MuPdfSession& session, pdf_document* target) const
{
    fz_context* context = session.context();
    pdf_obj* array = nullptr;
    session.run([&] {
        array = pdf_new_array(context, target, 2 * int(m_entries.size()));
        fz_try(context)
        {
            for (const Entry& entry : m_entries) {
                pdf_array_push_string(context, array, entry.name.constData(), size_t(entry.name.size()));
                pdf_array_push_drop(context, array, entry.destination.toArray(context, target, nullptr));
            }
        }
        fz_catch(context)
        {
            pdf_drop_obj(context, array);
            fz_rethrow(context);
        }
    });
    return array;
}

PdfNamedDestinations PdfNamedDestinations::mapped(const std::vector<int>& pageMap) const
{
    PdfNamedDestinations result;
    for (const Entry& entry : m_entries) {
        const int page = entry.destination.page;
        if (page < 0 || size_t(page) >= pageMap.size() || pageMap[size_t(page)] < 0)
            continue;
        Entry moved = entry;
        moved.destination.page = pageMap[size_t(page)];
        result.m_entries.push_back(moved);
    }
    return result;
}

void PdfNamedDestinations::append(const PdfNamedDestinations& other)
{
    m_entries.insert(m_entries.end(), other.m_entries.begin(), other.m_entries.end());
}

void PdfNamedDestinations::write(MuPdfSession& session, pdf_document* target) const
{
    // A name tree is sorted by the bytes of its keys; the first of equal names wins.
    std::vector<Entry> sorted = m_entries;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Entry& a, const Entry& b) { return a.name < b.name; });
    sorted.erase(std::unique(sorted.begin(), sorted.end(),
                             [](const Entry& a, const Entry& b) { return a.name == b.name; }),
                 sorted.end());
    if (sorted.empty())
        return;
    fz_context* context = session.context();
    session.run([&] {
        const int pages = pdf_count_pages(context, target);
        pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, target), PDF_NAME(Root));
        pdf_obj* names = pdf_dict_get(context, root, PDF_NAME(Names));
        if (!names)
            names = pdf_dict_put_dict(context, root, PDF_NAME(Names), 1);
        pdf_obj* tree = pdf_dict_put_dict(context, names, PDF_NAME(Dests), 1);
        pdf_obj* pairs = pdf_dict_put_array(context, tree, PDF_NAME(Names), 2 * int(sorted.size()));
        for (const Entry& entry : sorted) {
            if (entry.destination.page >= pages)
                continue;
            pdf_obj* page = pdf_lookup_page_obj(context, target, entry.destination.page);
            pdf_array_push_string(context, pairs, entry.name.constData(), size_t(entry.name.size()));
            pdf_array_push_drop(context, pairs, entry.destination.toArray(context, target, page));
        }
    });
}
