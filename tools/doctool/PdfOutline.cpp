#include "PdfOutline.h"

#include <set>

namespace
{
// Bounds against damaged files whose bookmarks loop or nest without end.
const int kMaxDepth = 64;
const int kMaxEntries = 100000;

// What one bookmark dictionary says, read inside a guard.
struct NodeFacts {
    const char* title = nullptr;
    size_t titleLength = 0;
    bool open = false;
    int flags = 0;
    int colourCount = 0;
    float colour[3] = {};
    PdfDestination destination;
    int action = 0;
    pdf_obj* first = nullptr;
    pdf_obj* next = nullptr;
    int number = 0;
};

// Copies an action other than "go to" into target, without the chain of actions that may follow
// it, and returns its object number there. Must run inside a guard.
int copyAction(fz_context* context, pdf_obj* action, pdf_document* target)
{
    pdf_obj* bare = pdf_copy_dict(context, pdf_resolve_indirect(context, action));
    pdf_obj* copied = nullptr;
    int number = 0;
    fz_var(copied);
    fz_try(context)
    {
        pdf_dict_del(context, bare, PDF_NAME(Next));
        copied = pdf_graft_object(context, target, bare);
        if (pdf_is_indirect(context, copied)) {
            number = pdf_to_num(context, copied);
        } else {
            pdf_obj* reference = pdf_add_object(context, target, copied);
            number = pdf_to_num(context, reference);
            pdf_drop_obj(context, reference);
        }
    }
    fz_always(context)
    {
        pdf_drop_obj(context, copied);
        pdf_drop_obj(context, bare);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return number;
}

void readColour(fz_context* context, pdf_obj* colour, NodeFacts* facts)
{
    if (pdf_array_len(context, colour) != 3)
        return;
    facts->colourCount = 3;
    for (int i = 0; i < 3; ++i)
        facts->colour[i] = pdf_array_get_real(context, colour, i);
}

void readNode(fz_context* context, pdf_document* document, pdf_obj* node, pdf_document* target,
              NodeFacts* facts)
{
    pdf_obj* title = pdf_dict_get(context, node, PDF_NAME(Title));
    facts->title = pdf_to_str_buf(context, title);
    facts->titleLength = pdf_to_str_len(context, title);
    facts->open = pdf_dict_get_int(context, node, PDF_NAME(Count)) > 0;
    facts->flags = pdf_dict_get_int(context, node, PDF_NAME(F));
    readColour(context, pdf_dict_get(context, node, PDF_NAME(C)), facts);
    if (!PdfDestination::resolveOf(context, document, node, &facts->destination)) {
        pdf_obj* action = pdf_dict_get(context, node, PDF_NAME(A));
        if (pdf_is_dict(context, action) &&
            !pdf_name_eq(context, pdf_dict_get(context, action, PDF_NAME(S)), PDF_NAME(GoTo)))
            facts->action = copyAction(context, action, target);
    }
    facts->first = pdf_dict_get(context, node, PDF_NAME(First));
    facts->next = pdf_dict_get(context, node, PDF_NAME(Next));
    facts->number = pdf_to_num(context, node);
}

// The same facts from one dictionary of a record written by toRecord().
void readRecordNode(fz_context* context, pdf_obj* node, pdf_document* target, NodeFacts* facts)
{
    pdf_obj* title = pdf_dict_get(context, node, PDF_NAME(Title));
    facts->title = pdf_to_str_buf(context, title);
    facts->titleLength = pdf_to_str_len(context, title);
    facts->open = pdf_dict_get_bool(context, node, PDF_NAME(Open));
    facts->flags = pdf_dict_get_int(context, node, PDF_NAME(F));
    readColour(context, pdf_dict_get(context, node, PDF_NAME(C)), facts);
    PdfDestination::fromIndexArray(context, pdf_dict_get(context, node, PDF_NAME(Dest)), &facts->destination);
    pdf_obj* action = pdf_dict_get(context, node, PDF_NAME(A));
    if (pdf_is_dict(context, action))
        facts->action = copyAction(context, action, target);
    facts->first = pdf_dict_get(context, node, PDF_NAME(Kids));
}

PdfOutline::Entry entryOf(const NodeFacts& facts)
{
    PdfOutline::Entry entry;
    entry.title = QByteArray(facts.title ? facts.title : "", int(facts.titleLength));
    entry.open = facts.open;
    entry.destination = facts.destination;
    entry.action = facts.action;
    entry.flags = facts.flags;
    entry.colour.assign(facts.colour, facts.colour + facts.colourCount);
    return entry;
}

struct Reading {
    MuPdfSession& session;
    pdf_document* document;
    pdf_document* target;
    std::set<int> seen;
    int total = 0;
};

// Whether the bounds let one more bookmark at depth in; names what they leave out when not.
bool admits(Reading& reading, int depth)
{
    if (depth >= kMaxDepth) {
        reading.session.noteLeftOut(QString("outline levels deeper than %1").arg(kMaxDepth));
        return false;
    }
    if (reading.total >= kMaxEntries) {
        reading.session.noteLeftOut(QString("bookmarks beyond the first %1").arg(kMaxEntries));
        return false;
    }
    return true;
}

void readLevel(Reading& reading, pdf_obj* node, int depth, std::vector<PdfOutline::Entry>* entries)
{
    fz_context* context = reading.session.context();
    while (node && admits(reading, depth)) {
        NodeFacts facts;
        reading.session.run([&] { readNode(context, reading.document, node, reading.target, &facts); });
        if (facts.number > 0 && !reading.seen.insert(facts.number).second) {
            reading.session.noteLeftOut("a loop in the outline");
            break;
        }
        ++reading.total;
        PdfOutline::Entry entry = entryOf(facts);
        readLevel(reading, facts.first, depth + 1, &entry.children);
        entries->push_back(std::move(entry));
        node = facts.next;
    }
}

void readRecordLevel(Reading& reading, pdf_obj* array, int depth, std::vector<PdfOutline::Entry>* entries)
{
    fz_context* context = reading.session.context();
    int length = 0;
    reading.session.run([&] { length = pdf_array_len(context, array); });
    for (int i = 0; i < length && admits(reading, depth); ++i) {
        NodeFacts facts;
        reading.session.run(
            [&] { readRecordNode(context, pdf_array_get(context, array, i), reading.target, &facts); });
        ++reading.total;
        PdfOutline::Entry entry = entryOf(facts);
        readRecordLevel(reading, facts.first, depth + 1, &entry.children);
        entries->push_back(std::move(entry));
    }
}

PdfDestination firstDestination(const std::vector<PdfOutline::Entry>& entries)
{
    for (const PdfOutline::Entry& entry : entries) {
        if (entry.destination.isValid())
            return entry.destination;
        const PdfDestination below = firstDestination(entry.children);
        if (below.isValid())
            return below;
    }
    return PdfDestination();
}

void mapEntries(const std::vector<PdfOutline::Entry>& from, const std::vector<int>& pageMap,
                bool keepUntargeted, std::vector<PdfOutline::Entry>* to)
{
    for (const PdfOutline::Entry& entry : from) {
        PdfOutline::Entry kept = entry;
        kept.children.clear();
        mapEntries(entry.children, pageMap, keepUntargeted, &kept.children);
        const int page = entry.destination.page;
        const int newPage = page >= 0 && size_t(page) < pageMap.size() ? pageMap[size_t(page)] : -1;
        if (newPage >= 0) {
            kept.destination.page = newPage;
        } else if (entry.destination.isValid()) {
            if (kept.children.empty())
                continue;
            kept.destination = firstDestination(kept.children);
        } else if (!keepUntargeted && kept.children.empty()) {
            continue;
        }
        to->push_back(std::move(kept));
    }
}

// How many bookmarks below entry show when it is open.
int visibleBelow(const PdfOutline::Entry& entry)
{
    int count = 0;
    for (const PdfOutline::Entry& child : entry.children)
        count += 1 + (child.open ? visibleBelow(child) : 0);
    return count;
}

void putColourAndFlags(fz_context* context, pdf_obj* item, const PdfOutline::Entry& entry)
{
    if (entry.colour.size() == 3) {
        pdf_obj* colour = pdf_dict_put_array(context, item, PDF_NAME(C), 3);
        for (float component : entry.colour)
            pdf_array_push_real(context, colour, component);
    }
    if (entry.flags != 0)
        pdf_dict_put_int(context, item, PDF_NAME(F), entry.flags);
}

// Builds the record form of entries into array. Must run inside a guard.
void recordEntries(fz_context* context, pdf_document* target, const std::vector<PdfOutline::Entry>& entries,
                   pdf_obj* array)
{
    for (const PdfOutline::Entry& entry : entries) {
        pdf_obj* item = pdf_new_dict(context, target, 6);
        pdf_array_push_drop(context, array, item);
        pdf_dict_put_string(context, item, PDF_NAME(Title), entry.title.constData(),
                            size_t(entry.title.size()));
        if (entry.open)
            pdf_dict_put_bool(context, item, PDF_NAME(Open), 1);
        if (entry.destination.isValid())
            pdf_dict_put_drop(context, item, PDF_NAME(Dest),
                              entry.destination.toArray(context, target, nullptr));
        if (entry.action > 0)
            pdf_dict_put_drop(context, item, PDF_NAME(A), pdf_new_indirect(context, target, entry.action, 0));
        putColourAndFlags(context, item, entry);
        if (!entry.children.empty())
            recordEntries(context, target, entry.children,
                          pdf_dict_put_array(context, item, PDF_NAME(Kids), 4));
    }
}

void putReference(fz_context* context, pdf_document* document, int holder, pdf_obj* key, int number)
{
    pdf_obj* object = pdf_load_object(context, document, holder);
    fz_try(context)
    {
        pdf_dict_put_drop(context, object, key, pdf_new_indirect(context, document, number, 0));
    }
    fz_always(context)
    {
        pdf_drop_obj(context, object);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

// Creates the bookmark dictionary of entry under parent and returns its object number.
int writeItem(MuPdfSession& session, pdf_document* target, int parent, const PdfOutline::Entry& entry)
{
    fz_context* context = session.context();
    int number = 0;
    session.run([&] {
        pdf_obj* item = pdf_add_new_dict(context, target, 6);
        fz_try(context)
        {
            number = pdf_to_num(context, item);
            pdf_dict_put_string(context, item, PDF_NAME(Title), entry.title.constData(),
                                size_t(entry.title.size()));
            pdf_dict_put_drop(context, item, PDF_NAME(Parent), pdf_new_indirect(context, target, parent, 0));
            if (entry.destination.isValid() && entry.destination.page < pdf_count_pages(context, target)) {
                pdf_obj* page = pdf_lookup_page_obj(context, target, entry.destination.page);
                pdf_dict_put_drop(context, item, PDF_NAME(Dest),
                                  entry.destination.toArray(context, target, page));
            } else if (entry.action > 0) {
                pdf_dict_put_drop(context, item, PDF_NAME(A),
                                  pdf_new_indirect(context, target, entry.action, 0));
            }
            putColourAndFlags(context, item, entry);
        }
        fz_always(context)
        {
            pdf_drop_obj(context, item);
        }
        fz_catch(context)
        {
            fz_rethrow(context);
        }
    });
    return number;
}

// Writes one level under parent (linked as its /First and /Last) and returns the numbers written.
std::vector<int> writeLevel(MuPdfSession& session, pdf_document* target, int parent,
                            const std::vector<PdfOutline::Entry>& entries)
{
    fz_context* context = session.context();
    std::vector<int> numbers;
    for (const PdfOutline::Entry& entry : entries) {
        const int number = writeItem(session, target, parent, entry);
        numbers.push_back(number);
        if (entry.children.empty())
            continue;
        const std::vector<int> children = writeLevel(session, target, number, entry.children);
        const int count = entry.open ? visibleBelow(entry) : -visibleBelow(entry);
        session.run([&] {
            putReference(context, target, number, PDF_NAME(First), children.front());
            putReference(context, target, number, PDF_NAME(Last), children.back());
            pdf_obj* item = pdf_load_object(context, target, number);
            pdf_dict_put_int(context, item, PDF_NAME(Count), count);
            pdf_drop_obj(context, item);
        });
    }
    session.run([&] {
        for (size_t i = 0; i + 1 < numbers.size(); ++i) {
            putReference(context, target, numbers[i], PDF_NAME(Next), numbers[i + 1]);
            putReference(context, target, numbers[i + 1], PDF_NAME(Prev), numbers[i]);
        }
    });
    return numbers;
}
} // namespace

PdfOutline PdfOutline::load(MuPdfSession& session, pdf_document* document, pdf_document* target)
{
    PdfOutline outline;
    fz_context* context = session.context();
    pdf_obj* first = nullptr;
    session.run(
        [&] { first = pdf_dict_getp(context, pdf_trailer(context, document), "Root/Outlines/First"); });
    Reading reading{session, document, target, {}, 0};
    readLevel(reading, first, 0, &outline.m_entries);
    return outline;
}

PdfOutline PdfOutline::fromRecord(MuPdfSession& session, pdf_document* recordDocument, pdf_obj* record,
                                  pdf_document* target)
{
    PdfOutline outline;
    Reading reading{session, recordDocument, target, {}, 0};
    readRecordLevel(reading, record, 0, &outline.m_entries);
    return outline;
}

pdf_obj* PdfOutline::toRecord(MuPdfSession& session, pdf_document* target) const
{
    fz_context* context = session.context();
    pdf_obj* array = nullptr;
    session.run([&] {
        array = pdf_new_array(context, target, int(m_entries.size()));
        fz_try(context)
        {
            recordEntries(context, target, m_entries, array);
        }
        fz_catch(context)
        {
            pdf_drop_obj(context, array);
            fz_rethrow(context);
        }
    });
    return array;
}

PdfOutline PdfOutline::mapped(const std::vector<int>& pageMap, bool keepUntargeted) const
{
    PdfOutline result;
    mapEntries(m_entries, pageMap, keepUntargeted, &result.m_entries);
    return result;
}

void PdfOutline::append(const PdfOutline& other)
{
    m_entries.insert(m_entries.end(), other.m_entries.begin(), other.m_entries.end());
}

void PdfOutline::write(MuPdfSession& session, pdf_document* target) const
{
    if (m_entries.empty())
        return;
    fz_context* context = session.context();
    int root = 0;
    session.run([&] {
        pdf_obj* outlines = pdf_add_new_dict(context, target, 4);
        root = pdf_to_num(context, outlines);
        pdf_dict_put(context, outlines, PDF_NAME(Type), PDF_NAME(Outlines));
        pdf_dict_put_drop(context, pdf_dict_get(context, pdf_trailer(context, target), PDF_NAME(Root)),
                          PDF_NAME(Outlines), outlines);
    });
    const std::vector<int> top = writeLevel(session, target, root, m_entries);
    int visible = 0;
    for (const Entry& entry : m_entries)
        visible += 1 + (entry.open ? visibleBelow(entry) : 0);
    session.run([&] {
        putReference(context, target, root, PDF_NAME(First), top.front());
        putReference(context, target, root, PDF_NAME(Last), top.back());
        pdf_obj* outlines = pdf_load_object(context, target, root);
        pdf_dict_put_int(context, outlines, PDF_NAME(Count), visible);
        pdf_drop_obj(context, outlines);
    });
}
