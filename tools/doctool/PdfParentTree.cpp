#include "PdfParentTree.h"

#include <vector>

#include "PdfTreeWalker.h"

PdfParentTree::PdfParentTree(fz_context* context, pdf_graft_map* map, pdf_document* target,
                             std::function<int(int)> elementOf)
    : m_context(context)
    , m_map(map)
    , m_target(target)
    , m_elementOf(std::move(elementOf))
    , m_offset(0)
{
}

PdfParentTree::~PdfParentTree()
{
    for (const auto& entry : m_added)
        pdf_drop_obj(m_context, entry.second);
}

void PdfParentTree::load(MuPdfSession& session, pdf_obj* sourceTree)
{
    for (const PdfTreeWalker::Pair& pair :
         PdfTreeWalker::pairs(session, sourceTree, PdfTreeWalker::Kind::Numbers))
        session.run([&] { m_source[pdf_to_int(m_context, pair.key)] = pair.value; });
}

pdf_obj* PdfParentTree::elementReference(int number) const
{
    return number < 0 ? PDF_NULL : pdf_new_indirect(m_context, m_target, number, 0);
}

// A value (an element, or an array of them by marked-content number) for the target: the copies,
// null for elements left out. A new reference.
pdf_obj* PdfParentTree::mappedValue(pdf_obj* value) const
{
    if (!pdf_is_array(m_context, value))
        return elementReference(m_elementOf(pdf_to_num(m_context, value)));
    std::vector<int> numbers;
    for (int i = 0; i < pdf_array_len(m_context, value); ++i)
        numbers.push_back(m_elementOf(pdf_to_num(m_context, pdf_array_get(m_context, value, i))));
    const int* number = numbers.data();
    const int count = int(numbers.size());
    pdf_obj* result = pdf_new_array(m_context, m_target, count);
    fz_try(m_context)
    {
        for (int i = 0; i < count; ++i)
            pdf_array_push_drop(m_context, result, elementReference(number[i]));
    }
    fz_catch(m_context)
    {
        pdf_drop_obj(m_context, result);
        fz_rethrow(m_context);
    }
    return result;
}

void PdfParentTree::addKey(pdf_obj* holder, const char* name, pdf_obj* key)
{
    if (!pdf_is_int(m_context, key))
        return;
    const int number = pdf_to_int(m_context, key);
    const auto found = m_source.find(number);
    if (found == m_source.end() || m_added.count(number + m_offset))
        return;
    pdf_dict_puts_drop(m_context, holder, name, pdf_new_int(m_context, number + m_offset));
    m_added[number + m_offset] = mappedValue(found->second);
}

void PdfParentTree::addXObjectKeys(pdf_obj* resources, std::set<int>* seen, int depth)
{
    pdf_obj* xobjects = pdf_dict_get(m_context, resources, PDF_NAME(XObject));
    for (int i = 0; depth < 8 && i < pdf_dict_len(m_context, xobjects); ++i) {
        pdf_obj* xobject = pdf_dict_get_val(m_context, xobjects, i);
        if (!seen->insert(pdf_to_num(m_context, xobject)).second)
            continue;
        pdf_obj* key = pdf_dict_get(m_context, xobject, PDF_NAME(StructParents));
        if (pdf_is_int(m_context, key)) {
            // The XObject was grafted with its page: this is that same copy.
            pdf_obj* copied = pdf_graft_mapped_object(m_context, m_map, xobject);
            fz_try(m_context)
            {
                addKey(copied, "StructParents", key);
            }
            fz_always(m_context)
            {
                pdf_drop_obj(m_context, copied);
            }
            fz_catch(m_context)
            {
                fz_rethrow(m_context);
            }
        }
        addXObjectKeys(pdf_dict_get(m_context, xobject, PDF_NAME(Resources)), seen, depth + 1);
    }
}

void PdfParentTree::write(pdf_obj* root)
{
    pdf_obj* held = pdf_dict_get(m_context, pdf_dict_gets(m_context, root, "ParentTree"), PDF_NAME(Nums));
    std::map<int, pdf_obj*> all;
    for (int i = 0; i + 1 < pdf_array_len(m_context, held); i += 2)
        all[pdf_array_get_int(m_context, held, i)] = pdf_array_get(m_context, held, i + 1);
    for (const auto& entry : m_added)
        all.insert(entry);
    pdf_obj* nums = pdf_new_array(m_context, m_target, 2 * int(all.size()));
    fz_try(m_context)
    {
        for (const auto& entry : all) {
            pdf_array_push_int(m_context, nums, entry.first);
            pdf_array_push(m_context, nums, entry.second);
        }
        pdf_obj* tree = pdf_new_dict(m_context, m_target, 1);
        pdf_dict_put(m_context, tree, PDF_NAME(Nums), nums);
        pdf_dict_puts_drop(m_context, root, "ParentTree", pdf_add_object_drop(m_context, m_target, tree));
        pdf_dict_puts_drop(m_context, root, "ParentTreeNextKey",
                           pdf_new_int(m_context, all.empty() ? 0 : all.rbegin()->first + 1));
    }
    fz_always(m_context)
    {
        pdf_drop_obj(m_context, nums);
    }
    fz_catch(m_context)
    {
        fz_rethrow(m_context);
    }
}
