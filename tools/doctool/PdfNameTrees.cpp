#include "PdfNameTrees.h"

#include <algorithm>
#include <vector>

#include <QByteArray>

#include "PdfTreeWalker.h"

namespace
{
struct Entry {
    QByteArray name;
    pdf_obj* value = nullptr; // in the target
};

pdf_obj* namesOf(fz_context* context, pdf_document* document)
{
    return pdf_dict_get(context, pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root)),
                        PDF_NAME(Names));
}

QByteArray keyText(fz_context* context, pdf_obj* key)
{
    return QByteArray(pdf_to_str_buf(context, key), int(pdf_to_str_len(context, key)));
}

// The entries of target's tree (which this class wrote flat, or none), then those of source's that
// are new, grafted, sorted by the bytes of their names as a name tree must be.
void unite(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, pdf_document* target,
           pdf_obj* which)
{
    fz_context* context = session.context();
    pdf_obj* sourceTree = nullptr;
    pdf_obj* targetTree = nullptr;
    session.run([&] {
        sourceTree = pdf_dict_get(context, namesOf(context, source), which);
        targetTree = pdf_dict_get(context, namesOf(context, target), which);
    });
    const std::vector<PdfTreeWalker::Pair> added =
        PdfTreeWalker::pairs(session, sourceTree, PdfTreeWalker::Kind::Names);
    if (added.empty())
        return;
    const std::vector<PdfTreeWalker::Pair> held =
        PdfTreeWalker::pairs(session, targetTree, PdfTreeWalker::Kind::Names);
    std::vector<Entry> entries;
    session.run([&] {
        for (const PdfTreeWalker::Pair& pair : held)
            entries.push_back({keyText(context, pair.key), pdf_keep_obj(context, pair.value)});
    });
    try {
        for (const PdfTreeWalker::Pair& pair : added) {
            Entry entry;
            session.run([&] { entry.name = keyText(context, pair.key); });
            if (std::any_of(entries.begin(), entries.end(),
                            [&](const Entry& e) { return e.name == entry.name; }))
                continue;
            // A value that is null, or names an object the file does not hold, names nothing: the
            // entry is left out.
            session.run([&] {
                if (!pdf_is_null(context, pair.value))
                    entry.value = pdf_graft_mapped_object(context, map, pair.value);
            });
            if (!entry.value)
                continue;
            entries.push_back(entry);
        }
        if (entries.empty())
            return;
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.name < b.name; });
        session.run([&] {
            pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, target), PDF_NAME(Root));
            pdf_obj* names = pdf_dict_get(context, root, PDF_NAME(Names));
            if (!names)
                names = pdf_dict_put_dict(context, root, PDF_NAME(Names), 2);
            pdf_obj* tree = pdf_dict_put_dict(context, names, which, 1);
            pdf_obj* pairs = pdf_dict_put_array(context, tree, PDF_NAME(Names), 2 * int(entries.size()));
            for (const Entry& entry : entries) {
                pdf_array_push_string(context, pairs, entry.name.constData(), size_t(entry.name.size()));
                pdf_array_push(context, pairs, entry.value);
            }
        });
    } catch (...) {
        for (const Entry& entry : entries)
            pdf_drop_obj(context, entry.value);
        throw;
    }
    for (const Entry& entry : entries)
        pdf_drop_obj(context, entry.value);
}
} // namespace

void PdfNameTrees::copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source, pdf_document* target)
{
    unite(session, map, source, target, PDF_NAME(EmbeddedFiles));
    unite(session, map, source, target, PDF_NAME(JavaScript));
}
