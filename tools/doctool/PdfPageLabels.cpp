#include "PdfPageLabels.h"

#include <algorithm>

#include "PdfTreeWalker.h"

namespace
{
struct RangeFacts {
    int start = -1;
    const char* style = "";
    const char* prefix = nullptr;
    size_t prefixLength = 0;
    int first = 1;
};

void readLabel(fz_context* context, pdf_obj* key, pdf_obj* label, RangeFacts* facts)
{
    facts->start = pdf_is_int(context, key) ? pdf_to_int(context, key) : -1;
    pdf_obj* style = pdf_dict_get(context, label, PDF_NAME(S));
    facts->style = pdf_is_name(context, style) ? pdf_to_name(context, style) : "";
    pdf_obj* prefix = pdf_dict_get(context, label, PDF_NAME(P));
    facts->prefix = pdf_to_str_buf(context, prefix);
    facts->prefixLength = pdf_to_str_len(context, prefix);
    pdf_obj* first = pdf_dict_gets(context, label, "St");
    facts->first = pdf_is_int(context, first) ? pdf_to_int(context, first) : 1;
}

PdfPageLabels::Range rangeOfFacts(const RangeFacts& facts)
{
    PdfPageLabels::Range range;
    range.start = facts.start;
    range.style = QByteArray(facts.style);
    range.prefix = QByteArray(facts.prefix ? facts.prefix : "", int(facts.prefixLength));
    range.first = facts.first;
    return range;
}
} // namespace

PdfPageLabels PdfPageLabels::load(MuPdfSession& session, pdf_document* document)
{
    PdfPageLabels labels;
    fz_context* context = session.context();
    pdf_obj* tree = nullptr;
    session.run([&] { tree = pdf_dict_getp(context, pdf_trailer(context, document), "Root/PageLabels"); });
    for (const PdfTreeWalker::Pair& pair :
         PdfTreeWalker::pairs(session, tree, PdfTreeWalker::Kind::Numbers)) {
        RangeFacts facts;
        session.run([&] { readLabel(context, pair.key, pair.value, &facts); });
        if (facts.start >= 0)
            labels.m_ranges.push_back(rangeOfFacts(facts));
    }
    std::stable_sort(labels.m_ranges.begin(), labels.m_ranges.end(),
                     [](const Range& a, const Range& b) { return a.start < b.start; });
    return labels;
}

PdfPageLabels PdfPageLabels::fromRecord(MuPdfSession& session, pdf_obj* record)
{
    PdfPageLabels labels;
    fz_context* context = session.context();
    int count = 0;
    session.run([&] { count = pdf_array_len(context, record); });
    for (int i = 0; i < count; ++i) {
        RangeFacts facts;
        session.run([&] {
            pdf_obj* range = pdf_array_get(context, record, i);
            facts.start = pdf_array_get_int(context, range, 0);
            pdf_obj* style = pdf_array_get(context, range, 1);
            facts.style = pdf_is_name(context, style) ? pdf_to_name(context, style) : "";
            pdf_obj* prefix = pdf_array_get(context, range, 2);
            facts.prefix = pdf_to_str_buf(context, prefix);
            facts.prefixLength = pdf_to_str_len(context, prefix);
            facts.first = pdf_array_get_int(context, range, 3);
        });
        labels.m_ranges.push_back(rangeOfFacts(facts));
    }
    return labels;
}

pdf_obj* PdfPageLabels::toRecord(MuPdfSession& session, pdf_document* target) const
{
    fz_context* context = session.context();
    pdf_obj* array = nullptr;
    session.run([&] {
        array = pdf_new_array(context, target, int(m_ranges.size()));
        fz_try(context)
        {
            for (const Range& range : m_ranges) {
                pdf_obj* item = pdf_new_array(context, target, 4);
                pdf_array_push_drop(context, array, item);
                pdf_array_push_int(context, item, range.start);
                if (range.style.isEmpty())
                    pdf_array_push(context, item, PDF_NULL);
                else
                    pdf_array_push_name(context, item, range.style.constData());
                pdf_array_push_string(context, item, range.prefix.constData(), size_t(range.prefix.size()));
                pdf_array_push_int(context, item, range.first);
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

int PdfPageLabels::rangeOf(int page) const
{
    int found = -1;
    for (size_t i = 0; i < m_ranges.size() && m_ranges[i].start <= page; ++i)
        found = int(i);
    return found;
}

PdfPageLabels PdfPageLabels::forPages(const std::vector<Source>& sources)
{
    PdfPageLabels result;
    const bool anyLabels = std::any_of(sources.begin(), sources.end(), [](const Source& source) {
        return source.labels && !source.labels->isEmpty();
    });
    if (!anyLabels)
        return result;
    static const PdfPageLabels plain;
    const PdfPageLabels* previousLabels = nullptr;
    int previousPage = -2;
    int previousRange = -2;
    for (size_t i = 0; i < sources.size(); ++i) {
        const PdfPageLabels* labels = sources[i].labels ? sources[i].labels : &plain;
        const int page = sources[i].page;
        const int range = labels->rangeOf(page);
        // A page continues the range before it when it follows its page in the same range.
        if (labels != previousLabels || page != previousPage + 1 || range != previousRange) {
            Range started;
            started.start = int(i);
            if (range >= 0) {
                const Range& old = labels->m_ranges[size_t(range)];
                started.style = old.style;
                started.prefix = old.prefix;
                started.first = old.first + (page - old.start);
            } else {
                started.style = "D";
                started.first = page + 1;
            }
            result.m_ranges.push_back(started);
        }
        previousLabels = labels;
        previousPage = page;
        previousRange = range;
    }
    return result;
}

void PdfPageLabels::write(MuPdfSession& session, pdf_document* target) const
{
    if (m_ranges.empty())
        return;
    fz_context* context = session.context();
    session.run([&] {
        pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, target), PDF_NAME(Root));
        pdf_obj* tree = pdf_new_dict(context, target, 1);
        pdf_dict_puts_drop(context, root, "PageLabels", tree);
        pdf_obj* numbers = pdf_dict_put_array(context, tree, PDF_NAME(Nums), 2 * int(m_ranges.size()));
        for (const Range& range : m_ranges) {
            pdf_array_push_int(context, numbers, range.start);
            pdf_obj* label = pdf_new_dict(context, target, 3);
            pdf_array_push_drop(context, numbers, label);
            if (!range.style.isEmpty())
                pdf_dict_put_name(context, label, PDF_NAME(S), range.style.constData());
            if (!range.prefix.isEmpty())
                pdf_dict_put_string(context, label, PDF_NAME(P), range.prefix.constData(),
                                    size_t(range.prefix.size()));
            if (range.first != 1)
                pdf_dict_puts_drop(context, label, "St", pdf_new_int(context, range.first));
        }
    });
}
