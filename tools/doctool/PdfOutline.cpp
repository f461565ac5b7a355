#include "PdfOutline.h"

namespace {
void readEntries(fz_context* context, fz_outline* node, std::vector<PdfOutline::Entry>* entries)
{
    for (; node; node = node->next) {
        PdfOutline::Entry entry;
        entry.title = QString::fromUtf8(node->title ? node->title : "");
        entry.page = node->page.chapter == 0 ? node->page.page : -1;
        entry.x = node->x;
        entry.y = node->y;
        entry.open = node->is_open != 0;
        readEntries(context, node->down, &entry.children);
        entries->push_back(std::move(entry));
    }
}

bool cutEntries(const std::vector<PdfOutline::Entry>& from, int first, int last,
                std::vector<PdfOutline::Entry>* to)
{
    for (const PdfOutline::Entry& entry : from) {
        PdfOutline::Entry kept = entry;
        kept.children.clear();
        const bool childrenKept = cutEntries(entry.children, first, last, &kept.children);
        const bool ownKept = entry.page >= first && entry.page <= last;
        if (!ownKept && !childrenKept)
            continue;
        kept.page = ownKept ? entry.page - first : kept.children.front().page;
        to->push_back(std::move(kept));
    }
    return !to->empty();
}

void shiftEntries(std::vector<PdfOutline::Entry>* entries, int offset)
{
    for (PdfOutline::Entry& entry : *entries) {
        if (entry.page >= 0)
            entry.page += offset;
        shiftEntries(&entry.children, offset);
    }
}

int countEntries(const std::vector<PdfOutline::Entry>& entries)
{
    int count = 0;
    for (const PdfOutline::Entry& entry : entries)
        count += 1 + countEntries(entry.children);
    return count;
}

// Inserts entries at the iterator's position, each followed by its children one level down.
void writeEntries(MuPdfSession& session, fz_outline_iterator* iterator, const std::vector<PdfOutline::Entry>& entries)
{
    fz_context* context = session.context();
    for (const PdfOutline::Entry& entry : entries) {
        const QByteArray title = entry.title.toUtf8();
        char* uri = nullptr;
        const float x = entry.x;
        const float y = entry.y;
        const int page = entry.page;
        const bool open = entry.open;
        const bool hasChildren = !entry.children.empty();
        session.run([&] {
            if (page >= 0)
                uri = pdf_format_link_uri(context, fz_make_link_dest_xyz(0, page, x, y, 0));
            fz_outline_item item;
            item.title = const_cast<char*>(title.constData());
            item.uri = uri;
            item.is_open = open ? 1 : 0;
            fz_outline_iterator_insert(context, iterator, &item);
            if (hasChildren) {
                fz_outline_iterator_prev(context, iterator);
                fz_outline_iterator_down(context, iterator);
            }
        });
        fz_free(context, uri);
        if (hasChildren) {
            writeEntries(session, iterator, entry.children);
            session.run([&] {
                fz_outline_iterator_up(context, iterator);
                fz_outline_iterator_next(context, iterator);
            });
        }
    }
}
} // namespace

PdfOutline PdfOutline::load(MuPdfSession& session, pdf_document* document)
{
    PdfOutline outline;
    fz_context* context = session.context();
    fz_outline* root = nullptr;
    session.run([&] { root = fz_load_outline(context, &document->super); });
    try {
        readEntries(context, root, &outline.m_entries);
    } catch (...) {
        fz_drop_outline(context, root);
        throw;
    }
    fz_drop_outline(context, root);
    return outline;
}

PdfOutline PdfOutline::range(int first, int last) const
{
    PdfOutline cut;
    cutEntries(m_entries, first, last, &cut.m_entries);
    return cut;
}

PdfOutline PdfOutline::shifted(int offset) const
{
    PdfOutline moved = *this;
    shiftEntries(&moved.m_entries, offset);
    return moved;
}

void PdfOutline::append(const PdfOutline& other)
{
    m_entries.insert(m_entries.end(), other.m_entries.begin(), other.m_entries.end());
}

int PdfOutline::count() const
{
    return countEntries(m_entries);
}

void PdfOutline::write(MuPdfSession& session, pdf_document* document) const
{
    if (m_entries.empty())
        return;
    fz_context* context = session.context();
    fz_outline_iterator* iterator = nullptr;
    session.run([&] { iterator = pdf_new_outline_iterator(context, document); });
    try {
        writeEntries(session, iterator, m_entries);
    } catch (...) {
        fz_drop_outline_iterator(context, iterator);
        throw;
    }
    fz_drop_outline_iterator(context, iterator);
}
