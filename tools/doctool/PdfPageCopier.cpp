#include "PdfPageCopier.h"

#include <map>

#include "PdfDanglingReferences.h"
#include "PdfFileWriter.h"
#include "PdfFormCopier.h"
#include "PdfHybridDocument.h"
#include "PdfNameTrees.h"
#include "PdfOptionalContent.h"
#include "PdfStructureCopier.h"

namespace
{
// page index -> page index + offset, for count pages.
std::vector<int> shiftMap(int count, int offset)
{
    std::vector<int> map(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        map[size_t(i)] = offset + i;
    return map;
}

// Copies what MuPDF's page grafting leaves behind but a page needs to look and behave the same:
// its transparency group (how its contents blend) and its presentation transition.
void copyPageKeys(fz_context* context, pdf_graft_map* map, pdf_obj* from, pdf_obj* to)
{
    for (pdf_obj* key : {PDF_NAME(Group), PDF_NAME(Trans), PDF_NAME(Dur)}) {
        pdf_obj* value = pdf_dict_get(context, from, key);
        if (value)
            pdf_dict_put_drop(context, to, key, pdf_graft_mapped_object(context, map, value));
    }
}

PdfDestination mappedDestination(PdfDestination destination, const std::vector<int>& map)
{
    const int page = destination.page;
    destination.page = page >= 0 && size_t(page) < map.size() ? map[size_t(page)] : -1;
    return destination;
}
} // namespace

PdfPageCopier::PdfPageCopier(MuPdfSession& session)
    : m_session(session)
    , m_target(nullptr)
    , m_pageCount(0)
    , m_hasMetadata(false)
    , m_isCut(false)
{
    fz_context* context = m_session.context();
    m_session.run([&] { m_target = pdf_create_document(context); });
}

PdfPageCopier::~PdfPageCopier()
{
    pdf_drop_document(m_session.context(), m_target);
}

void PdfPageCopier::cut(pdf_document* source, int first, int last, const QByteArray& sourceKey)
{
    fz_context* context = m_session.context();
    m_isCut = true;
    PdfDanglingReferences::clear(m_session, source);
    m_session.run([&] { pdf_load_page_tree(context, source); });
    try {
        m_cut = PdfCutRecord::ofDocument(m_session, source, m_target, sourceKey);
        m_cut.first = first;
        m_cut.last = last;
        copyPages(source, first, last, PdfAnnotationCopier::Purpose::Cut, true, false);
    } catch (...) {
        pdf_drop_page_tree(context, source);
        throw;
    }
    pdf_drop_page_tree(context, source);
}

void PdfPageCopier::append(pdf_document* part)
{
    fz_context* context = m_session.context();
    Part facts;
    facts.offset = m_pageCount;
    PdfDanglingReferences::clear(m_session, part);
    m_session.run([&] {
        facts.count = pdf_count_pages(context, part);
        pdf_load_page_tree(context, part);
    });
    try {
        facts.carries = PdfCutRecord::read(m_session, part, m_target, m_parts.empty(), &facts.record) &&
                        facts.record.last - facts.record.first + 1 == facts.count;
        const std::vector<int> shift = shiftMap(facts.count, facts.offset);
        facts.outline = PdfOutline::load(m_session, part, m_target).mapped(shift, true);
        facts.destinations = PdfNamedDestinations::load(m_session, part).mapped(shift);
        facts.labels = PdfPageLabels::load(m_session, part);
        m_session.run([&] { PdfDestination::resolveOpenAction(context, part, &facts.openView); });
        facts.openView = mappedDestination(facts.openView, shift);
        // Cuts of one document carry the same layers: the first one's stand for all, and the copies
        // that the others' pages refer to are stored once with them when saved.
        const bool sameWholeBefore = facts.carries && carriedBefore(facts.record.source);
        copyPages(part, 0, facts.count - 1, PdfAnnotationCopier::Purpose::Merge, !sameWholeBefore,
                  sameWholeBefore);
    } catch (...) {
        pdf_drop_page_tree(context, part);
        throw;
    }
    pdf_drop_page_tree(context, part);
    m_parts.push_back(std::move(facts));
}

bool PdfPageCopier::carriedBefore(const QByteArray& source) const
{
    for (const Part& part : m_parts) {
        if (part.carries && part.record.source == source)
            return true;
    }
    return false;
}

void PdfPageCopier::copyPages(pdf_document* source, int first, int last, PdfAnnotationCopier::Purpose purpose,
                              bool withLayers, bool unite)
{
    fz_context* context = m_session.context();
    pdf_graft_map* map = nullptr;
    m_session.run([&] { map = pdf_new_graft_map(context, m_target); });
    try {
        m_session.run([&] {
            for (int page = first; page <= last; ++page) {
                pdf_graft_mapped_page(context, map, -1, source, page);
                copyPageKeys(context, map, pdf_lookup_page_obj(context, source, page),
                             pdf_lookup_page_obj(context, m_target, m_pageCount + page - first));
            }
        });
        std::map<int, int> annotations;
        PdfAnnotationCopier::copy(m_session, map, source, first, last, m_target, m_pageCount, purpose,
                                  &annotations);
        PdfFormCopier::copy(m_session, map, source, annotations, m_target, unite);
        if (withLayers)
            PdfOptionalContent::copy(m_session, map, source, m_target);
        if (!m_hasMetadata)
            copyMetadata(source, map);
        // Like bookmarks that lead to no page, the document's attachments and scripts go with the
        // first range only: a cut of each range would carry every attached file again.
        // So does the editable document of a hybrid PDF.
        if (purpose == PdfAnnotationCopier::Purpose::Merge || first == 0) {
            PdfNameTrees::copy(m_session, map, source, m_target);
            PdfHybridDocument::copy(m_session, map, source, m_target);
        }
        PdfStructureCopier::copy(m_session, map, source, first, last, m_target, m_pageCount, annotations,
                                 purpose, unite);
    } catch (...) {
        pdf_drop_graft_map(context, map);
        throw;
    }
    pdf_drop_graft_map(context, map);
    m_pageCount += last - first + 1;
}

void PdfPageCopier::copyMetadata(pdf_document* source, pdf_graft_map* map)
{
    fz_context* context = m_session.context();
    m_session.run([&] {
        pdf_obj* info = pdf_dict_get(context, pdf_trailer(context, source), PDF_NAME(Info));
        if (pdf_is_dict(context, info)) {
            pdf_obj* copied = pdf_graft_mapped_object(context, map, info);
            if (!pdf_is_indirect(context, copied)) {
                pdf_obj* direct = copied;
                copied = pdf_add_object(context, m_target, direct);
                pdf_drop_obj(context, direct);
            }
            pdf_dict_put_drop(context, pdf_trailer(context, m_target), PDF_NAME(Info), copied);
        }
        pdf_obj* sourceRoot = pdf_dict_get(context, pdf_trailer(context, source), PDF_NAME(Root));
        pdf_obj* targetRoot = pdf_dict_get(context, pdf_trailer(context, m_target), PDF_NAME(Root));
        const char* keys[] = {"Metadata",          "PageMode",      "PageLayout", "Lang",
                              "ViewerPreferences", "OutputIntents", "AA",         "AF"};
        for (const char* key : keys) {
            pdf_obj* value = pdf_dict_gets(context, sourceRoot, key);
            if (value)
                pdf_dict_puts_drop(context, targetRoot, key, pdf_graft_mapped_object(context, map, value));
        }
        // An opening view is rebuilt for the pages (writeOpenView); an opening action of another
        // kind (JavaScript) is kept as it is.
        pdf_obj* action = pdf_dict_gets(context, sourceRoot, "OpenAction");
        if (pdf_is_dict(context, action) &&
            !pdf_name_eq(context, pdf_dict_get(context, action, PDF_NAME(S)), PDF_NAME(GoTo)))
            pdf_dict_puts_drop(context, targetRoot, "OpenAction",
                               pdf_graft_mapped_object(context, map, action));
    });
    m_hasMetadata = true;
}

void PdfPageCopier::finishCut()
{
    std::vector<int> map(size_t(m_cut.pages), -1);
    std::vector<PdfPageLabels::Source> labelSources;
    for (int page = m_cut.first; page <= m_cut.last; ++page) {
        map[size_t(page)] = page - m_cut.first;
        labelSources.push_back({&m_cut.labels, page});
    }
    // Bookmarks that lead to no page (a web address) go with the first range only.
    m_outline = m_cut.outline.mapped(map, m_cut.first == 0);
    m_destinations = m_cut.destinations.mapped(map);
    m_labels = PdfPageLabels::forPages(labelSources);
    m_openView = mappedDestination(m_cut.openView, map);
    m_cut.write(m_session, m_target);
}

bool PdfPageCopier::partsShareOneWhole() const
{
    if (m_parts.empty() || !m_parts.front().carries)
        return false;
    const PdfCutRecord& whole = m_parts.front().record;
    for (const Part& part : m_parts) {
        if (!part.carries || part.record.source != whole.source || part.record.pages != whole.pages)
            return false;
    }
    return true;
}

void PdfPageCopier::finishMerge()
{
    // Page of a whole document -> merged page, per whole document; the first copy of a page wins.
    std::map<QByteArray, std::vector<int>> wholeToMerged;
    for (const Part& part : m_parts) {
        if (!part.carries)
            continue;
        std::vector<int>& map = wholeToMerged[part.record.source];
        if (map.size() < size_t(part.record.pages))
            map.resize(size_t(part.record.pages), -1);
        for (int i = 0; i < part.count; ++i) {
            int& merged = map[size_t(part.record.first + i)];
            if (merged < 0)
                merged = part.offset + i;
        }
    }
    static const std::vector<int> none;
    for (const Part& part : m_parts) {
        const auto found = part.carries ? wholeToMerged.find(part.record.source) : wholeToMerged.end();
        PdfAnnotationCopier::resolveCarried(m_session, m_target, part.offset, part.offset + part.count - 1,
                                            found == wholeToMerged.end() ? none : found->second);
    }

    std::vector<PdfPageLabels::Source> labelSources;
    if (partsShareOneWhole()) {
        const PdfCutRecord& whole = m_parts.front().record;
        const std::vector<int>& map = wholeToMerged[whole.source];
        m_outline = whole.outline.mapped(map, true);
        m_destinations = whole.destinations.mapped(map);
        m_openView = mappedDestination(whole.openView, map);
        for (const Part& part : m_parts) {
            for (int i = 0; i < part.count; ++i)
                labelSources.push_back({&whole.labels, part.record.first + i});
        }
    } else {
        for (const Part& part : m_parts) {
            m_outline.append(part.outline);
            m_destinations.append(part.destinations);
            for (int i = 0; i < part.count; ++i)
                labelSources.push_back({&part.labels, i});
        }
        if (!m_parts.empty())
            m_openView = m_parts.front().openView;
    }
    m_labels = PdfPageLabels::forPages(labelSources);
}

void PdfPageCopier::writeOpenView()
{
    if (!m_openView.isValid() || m_openView.page >= m_pageCount)
        return;
    fz_context* context = m_session.context();
    m_session.run([&] {
        pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, m_target), PDF_NAME(Root));
        pdf_obj* page = pdf_lookup_page_obj(context, m_target, m_openView.page);
        pdf_dict_puts_drop(context, root, "OpenAction", m_openView.toArray(context, m_target, page));
    });
}

void PdfPageCopier::save(const QString& path, const QString& encryptedLike)
{
    if (m_isCut) {
        finishCut();
    } else {
        finishMerge();
        PdfStructureCopier::removeMarks(m_session, m_target);
        // A hybrid's editable document stands for the whole of it, not for others merged with it.
        if (m_parts.size() > 1 && !partsShareOneWhole())
            PdfHybridDocument::remove(m_session, m_target);
    }
    m_outline.write(m_session, m_target);
    m_destinations.write(m_session, m_target);
    m_labels.write(m_session, m_target);
    writeOpenView();
    PdfFileWriter::save(m_session, m_target, path, m_pageCount, m_parts.size() > 1, encryptedLike);
}
