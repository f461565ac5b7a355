#include "PdfTreeWalker.h"

#include <cstring>

PdfTreeWalker::PdfTreeWalker(fz_context* context, Kind kind)
    : m_context(context)
    , m_kind(kind)
{
}

std::vector<PdfTreeWalker::Pair> PdfTreeWalker::pairs(MuPdfSession& session, pdf_obj* root, Kind kind)
{
    fz_context* context = session.context();
    std::vector<Pair> result;
    PdfTreeWalker walker(context, kind);
    // Its memory must be current when a guard gives up half-way.
    fz_var(walker);
    try {
        session.run([&] { walker.start(root); });
        for (;;) {
            pdf_obj* node = nullptr;
            pdf_obj* array = nullptr;
            int count = 0;
            session.run([&] {
                node = walker.nextNode();
                array = walker.pairArray(node);
                count = pdf_array_len(context, array) / 2;
            });
            if (!node)
                break;
            const size_t first = result.size();
            result.resize(first + size_t(count));
            Pair* slots = result.data() + first;
            session.run([&] {
                for (int i = 0; i < count; ++i) {
                    slots[i].key = pdf_array_get(context, array, 2 * i);
                    slots[i].value = pdf_array_get(context, array, 2 * i + 1);
                }
            });
        }
    } catch (...) {
        walker.release();
        throw;
    }
    walker.release();
    const char* tree = kind == Kind::Names ? "name tree" : "number tree";
    if (walker.m_loopCut)
        session.noteLeftOut(QString("a loop in a %1").arg(tree));
    if (walker.m_depthCut)
        session.noteLeftOut(QString("%1 levels deeper than %2").arg(tree).arg(kMaxDepth));
    return result;
}

pdf_obj* PdfTreeWalker::find(fz_context* context, pdf_obj* root, Kind kind, pdf_obj* key)
{
    PdfTreeWalker walker(context, kind);
    pdf_obj* found = nullptr;
    fz_var(walker);
    fz_var(found);
    walker.start(root);
    fz_try(context)
    {
        pdf_obj* node = nullptr;
        while (!found && (node = walker.nextNode())) {
            if (walker.limitsLeaveOut(node, key))
                walker.skipKids();
            else
                found = walker.findInNode(node, key);
        }
    }
    fz_always(context)
    {
        walker.release();
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return found;
}

void PdfTreeWalker::start(pdf_obj* root)
{
    pdf_document* document = pdf_get_bound_document(m_context, root);
    if (!document)
        return;
    const int objects = pdf_xref_len(m_context, document);
    m_seen = static_cast<unsigned char*>(fz_calloc(m_context, size_t(objects) / 8 + 1, 1));
    m_objectCount = objects;
    m_root = root;
}

void PdfTreeWalker::release()
{
    fz_free(m_context, m_seen);
    m_seen = nullptr;
    m_objectCount = 0;
    m_root = nullptr;
    m_current = nullptr;
    m_levels = 0;
}

pdf_obj* PdfTreeWalker::nextNode()
{
    if (m_descend) {
        pdf_obj* kids = pdf_dict_get(m_context, m_current, PDF_NAME(Kids));
        if (pdf_array_len(m_context, kids) > 0 && m_levels == kMaxDepth)
            m_depthCut = true;
        else if (pdf_array_len(m_context, kids) > 0)
            m_frames[m_levels++] = {kids, 0};
    }
    pdf_obj* node = m_root && enter(m_root) ? m_root : nullptr;
    m_root = nullptr;
    while (!node && m_levels > 0) {
        Frame& frame = m_frames[m_levels - 1];
        if (frame.next >= pdf_array_len(m_context, frame.kids)) {
            --m_levels;
            continue;
        }
        pdf_obj* kid = pdf_array_get(m_context, frame.kids, frame.next++);
        if (enter(kid))
            node = kid;
    }
    m_current = node;
    m_descend = node != nullptr;
    return node;
}

bool PdfTreeWalker::enter(pdf_obj* node)
{
    if (!pdf_is_dict(m_context, node))
        return false;
    // A node written out directly sits inside its parent and cannot be reached twice.
    if (!pdf_is_indirect(m_context, node))
        return true;
    const int number = pdf_to_num(m_context, node);
    if (number < 0 || number >= m_objectCount)
        return false;
    unsigned char& byte = m_seen[number / 8];
    const unsigned char bit = static_cast<unsigned char>(1u << (number % 8));
    if (byte & bit) {
        m_loopCut = true;
        return false;
    }
    byte |= bit;
    return true;
}

pdf_obj* PdfTreeWalker::pairArray(pdf_obj* node) const
{
    return pdf_dict_get(m_context, node, m_kind == Kind::Names ? PDF_NAME(Names) : PDF_NAME(Nums));
}

int PdfTreeWalker::compare(pdf_obj* a, pdf_obj* b) const
{
    if (m_kind == Kind::Numbers) {
        const int left = pdf_to_int(m_context, a);
        const int right = pdf_to_int(m_context, b);
        return left < right ? -1 : (left > right ? 1 : 0);
    }
    // Name tree keys are ordered by their bytes, a shorter key before the longer ones it starts.
    const size_t leftSize = pdf_to_str_len(m_context, a);
    const size_t rightSize = pdf_to_str_len(m_context, b);
    const int order = std::memcmp(pdf_to_str_buf(m_context, a), pdf_to_str_buf(m_context, b),
                                  leftSize < rightSize ? leftSize : rightSize);
    if (order != 0)
        return order;
    return leftSize < rightSize ? -1 : (leftSize > rightSize ? 1 : 0);
}

bool PdfTreeWalker::limitsLeaveOut(pdf_obj* node, pdf_obj* key) const
{
    pdf_obj* limits = pdf_dict_get(m_context, node, PDF_NAME(Limits));
    return pdf_array_len(m_context, limits) == 2 && (compare(pdf_array_get(m_context, limits, 0), key) > 0 ||
                                                     compare(pdf_array_get(m_context, limits, 1), key) < 0);
}

// A binary search for leaves sorted as they should be, then a plain one for those that are not.
pdf_obj* PdfTreeWalker::findInNode(pdf_obj* node, pdf_obj* key) const
{
    pdf_obj* array = pairArray(node);
    int low = 0;
    int high = pdf_array_len(m_context, array) / 2 - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int order = compare(pdf_array_get(m_context, array, 2 * middle), key);
        if (order == 0)
            return pdf_array_get(m_context, array, 2 * middle + 1);
        if (order < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    for (int i = 0; i + 1 < pdf_array_len(m_context, array); i += 2) {
        if (compare(pdf_array_get(m_context, array, i), key) == 0)
            return pdf_array_get(m_context, array, i + 1);
    }
    return nullptr;
}
