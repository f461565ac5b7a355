#include "PdfFormCopier.h"

#include <cstring>
#include <set>

namespace
{
const int kMaxDepth = 32; // of a field tree; deeper ones are damaged or hostile

struct Copy {
    fz_context* context;
    pdf_graft_map* map;
    pdf_document* target;
    const std::map<int, int>* widgets;
    std::set<int> keep;          // source fields that lead to a copied widget, and the widgets
    std::map<int, int> copies;   // source field -> target field
    std::map<int, int> replaced; // target field -> the field it was united with
    bool loopCut = false;        // a field was reached again (a loop in the tree) and left out there
    bool depthCut = false;       // fields below kMaxDepth levels were left out
};

pdf_obj* catalogOf(fz_context* context, pdf_document* document)
{
    return pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
}

bool isWidget(fz_context* context, pdf_obj* object)
{
    return pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Subtype)), PDF_NAME(Widget));
}

// Marks every copied widget and the fields above it.
void markKept(fz_context* context, pdf_document* source, Copy* copy)
{
    for (const auto& widget : *copy->widgets) {
        pdf_obj* node = pdf_new_indirect(context, source, widget.first, 0);
        fz_try(context)
        {
            if (isWidget(context, node)) {
                pdf_obj* field = node;
                for (int depth = 0; field && depth < kMaxDepth; ++depth) {
                    if (!copy->keep.insert(pdf_to_num(context, field)).second)
                        break;
                    field = pdf_dict_get(context, field, PDF_NAME(Parent));
                }
            }
        }
        fz_always(context)
        {
            pdf_drop_obj(context, node);
        }
        fz_catch(context)
        {
            fz_rethrow(context);
        }
    }
}

// The copy of source field (and of its kept kids) in the target, under parent; a new reference, or
// null for a field copied before: each field is copied once, under the first parent that leads to it.
pdf_obj* copyField(Copy* copy, pdf_obj* field, pdf_obj* parent, int depth)
{
    fz_context* context = copy->context;
    const int number = pdf_to_num(context, field);
    if (number > 0 && copy->copies.count(number)) {
        copy->loopCut = true;
        return nullptr;
    }
    const auto widget = copy->widgets->find(pdf_to_num(context, field));
    if (widget != copy->widgets->end()) {
        // A widget is already on its page: it only needs its field again.
        pdf_obj* reference = pdf_new_indirect(context, copy->target, widget->second, 0);
        copy->copies[widget->first] = widget->second;
        if (parent)
            pdf_dict_put(context, reference, PDF_NAME(Parent), parent);
        return reference;
    }
    pdf_obj* bare = pdf_copy_dict(context, pdf_resolve_indirect(context, field));
    pdf_obj* moved = nullptr;
    pdf_obj* reference = nullptr;
    fz_var(moved);
    fz_var(reference);
    fz_try(context)
    {
        // Kids and parent are rebuilt from what was copied; the rest (value, default value and
        // appearance, flags, options, actions) is grafted.
        pdf_dict_del(context, bare, PDF_NAME(Kids));
        pdf_dict_del(context, bare, PDF_NAME(Parent));
        pdf_dict_del(context, bare, PDF_NAME(P));
        moved = pdf_graft_mapped_object(context, copy->map, bare);
        reference = pdf_add_object(context, copy->target, moved);
        copy->copies[number] = pdf_to_num(context, reference);
        if (parent)
            pdf_dict_put(context, reference, PDF_NAME(Parent), parent);
        pdf_obj* kids = pdf_dict_get(context, field, PDF_NAME(Kids));
        if (depth >= kMaxDepth) {
            for (int i = 0; i < pdf_array_len(context, kids); ++i)
                copy->depthCut =
                    copy->depthCut || copy->keep.count(pdf_to_num(context, pdf_array_get(context, kids, i)));
        } else if (pdf_is_array(context, kids)) {
            pdf_obj* copiedKids =
                pdf_dict_put_array(context, reference, PDF_NAME(Kids), pdf_array_len(context, kids));
            for (int i = 0; i < pdf_array_len(context, kids); ++i) {
                pdf_obj* kid = pdf_array_get(context, kids, i);
                if (!copy->keep.count(pdf_to_num(context, kid)))
                    continue;
                pdf_obj* copied = copyField(copy, kid, reference, depth + 1);
                if (copied)
                    pdf_array_push_drop(context, copiedKids, copied);
            }
        }
    }
    fz_always(context)
    {
        pdf_drop_obj(context, moved);
        pdf_drop_obj(context, bare);
    }
    fz_catch(context)
    {
        pdf_drop_obj(context, reference);
        fz_rethrow(context);
    }
    return reference;
}

bool sameName(fz_context* context, pdf_obj* a, pdf_obj* b)
{
    pdf_obj* first = pdf_dict_get(context, a, PDF_NAME(T));
    pdf_obj* second = pdf_dict_get(context, b, PDF_NAME(T));
    return pdf_is_string(context, first) && pdf_is_string(context, second) &&
           pdf_to_str_len(context, first) == pdf_to_str_len(context, second) &&
           !memcmp(pdf_to_str_buf(context, first), pdf_to_str_buf(context, second),
                   pdf_to_str_len(context, first));
}

// The field in list (an array of fields) named like field, which is not itself a widget; or null.
pdf_obj* namesake(fz_context* context, pdf_obj* list, pdf_obj* field)
{
    if (isWidget(context, field))
        return nullptr;
    for (int i = 0; i < pdf_array_len(context, list); ++i) {
        pdf_obj* other = pdf_array_get(context, list, i);
        if (!isWidget(context, other) && sameName(context, other, field))
            return other;
    }
    return nullptr;
}

// Gives the kids of added to held, a field of the same name: widgets and nameless kids move over,
// named ones unite with their namesakes.
void uniteField(Copy* copy, pdf_obj* held, pdf_obj* added, int depth)
{
    fz_context* context = copy->context;
    if (!copy->replaced.emplace(pdf_to_num(context, added), pdf_to_num(context, held)).second)
        return;
    pdf_obj* heldKids = pdf_dict_get(context, held, PDF_NAME(Kids));
    if (!pdf_is_array(context, heldKids))
        heldKids = pdf_dict_put_array(context, held, PDF_NAME(Kids), 4);
    pdf_obj* kids = pdf_dict_get(context, added, PDF_NAME(Kids));
    for (int i = 0; i < pdf_array_len(context, kids); ++i) {
        pdf_obj* kid = pdf_array_get(context, kids, i);
        pdf_obj* same = depth < kMaxDepth ? namesake(context, heldKids, kid) : nullptr;
        if (same) {
            uniteField(copy, same, kid, depth + 1);
        } else {
            pdf_dict_put(context, kid, PDF_NAME(Parent), held);
            pdf_array_push(context, heldKids, kid);
        }
    }
}

// Adds the fonts of source's form that the target's lacks by name: another document's fields name
// their own in their default appearance.
void addFonts(Copy* copy, pdf_obj* sourceForm, pdf_obj* form)
{
    fz_context* context = copy->context;
    pdf_obj* fonts = pdf_dict_getp(context, sourceForm, "DR/Font");
    if (!pdf_is_dict(context, fonts))
        return;
    pdf_obj* resources = pdf_dict_get(context, form, PDF_NAME(DR));
    if (!pdf_is_dict(context, resources))
        resources = pdf_dict_put_dict(context, form, PDF_NAME(DR), 1);
    pdf_obj* held = pdf_dict_get(context, resources, PDF_NAME(Font));
    if (!pdf_is_dict(context, held))
        held = pdf_dict_put_dict(context, resources, PDF_NAME(Font), pdf_dict_len(context, fonts));
    for (int i = 0; i < pdf_dict_len(context, fonts); ++i) {
        pdf_obj* name = pdf_dict_get_key(context, fonts, i);
        if (!pdf_dict_get(context, held, name))
            pdf_dict_put_drop(
                context, held, name,
                pdf_graft_mapped_object(context, copy->map, pdf_dict_get_val(context, fonts, i)));
    }
}

// The target's form, made from source's (without its fields) when target has none; a source's
// NeedAppearances carries over either way.
pdf_obj* targetForm(Copy* copy, pdf_obj* sourceForm)
{
    fz_context* context = copy->context;
    pdf_obj* catalog = catalogOf(context, copy->target);
    pdf_obj* form = pdf_dict_get(context, catalog, PDF_NAME(AcroForm));
    if (pdf_is_dict(context, form)) {
        if (pdf_to_bool(context, pdf_dict_gets(context, sourceForm, "NeedAppearances")))
            pdf_dict_puts_drop(context, form, "NeedAppearances", PDF_TRUE);
        addFonts(copy, sourceForm, form);
        return form;
    }
    pdf_obj* bare = pdf_copy_dict(context, pdf_resolve_indirect(context, sourceForm));
    pdf_obj* moved = nullptr;
    fz_var(moved);
    fz_try(context)
    {
        // The fields and their calculation order are built from what was copied; a form in XFA
        // would describe the whole document's fields, not these.
        pdf_dict_del(context, bare, PDF_NAME(Fields));
        pdf_dict_dels(context, bare, "CO");
        pdf_dict_del(context, bare, PDF_NAME(XFA));
        moved = pdf_graft_mapped_object(context, copy->map, bare);
        pdf_dict_put_array(context, moved, PDF_NAME(Fields), 4);
        pdf_dict_put_drop(context, catalog, PDF_NAME(AcroForm), pdf_add_object(context, copy->target, moved));
    }
    fz_always(context)
    {
        pdf_drop_obj(context, moved);
        pdf_drop_obj(context, bare);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return pdf_dict_get(context, catalog, PDF_NAME(AcroForm));
}

// Appends the calculation order of source's form for the fields copied, each once.
void addCalculationOrder(Copy* copy, pdf_obj* sourceForm, pdf_obj* form)
{
    fz_context* context = copy->context;
    pdf_obj* order = pdf_dict_gets(context, sourceForm, "CO");
    for (int i = 0; i < pdf_array_len(context, order); ++i) {
        const auto found = copy->copies.find(pdf_to_num(context, pdf_array_get(context, order, i)));
        if (found == copy->copies.end())
            continue;
        int number = found->second;
        size_t steps = 0;
        for (auto replaced = copy->replaced.find(number);
             replaced != copy->replaced.end() && steps++ < copy->replaced.size();
             replaced = copy->replaced.find(number))
            number = replaced->second;
        pdf_obj* list = pdf_dict_gets(context, form, "CO");
        if (!pdf_is_array(context, list)) {
            pdf_dict_puts_drop(context, form, "CO", pdf_new_array(context, copy->target, 4));
            list = pdf_dict_gets(context, form, "CO");
        }
        bool listed = false;
        for (int j = 0; j < pdf_array_len(context, list) && !listed; ++j)
            listed = pdf_to_num(context, pdf_array_get(context, list, j)) == number;
        if (!listed)
            pdf_array_push_drop(context, list, pdf_new_indirect(context, copy->target, number, 0));
    }
}

void copyForm(Copy* copy, pdf_document* source, bool unite)
{
    fz_context* context = copy->context;
    pdf_obj* sourceForm = pdf_dict_get(context, catalogOf(context, source), PDF_NAME(AcroForm));
    pdf_obj* fields = pdf_dict_get(context, sourceForm, PDF_NAME(Fields));
    markKept(context, source, copy);
    if (copy->keep.empty() || !pdf_is_array(context, fields))
        return;
    pdf_obj* form = targetForm(copy, sourceForm);
    pdf_obj* list = pdf_dict_get(context, form, PDF_NAME(Fields));
    if (!pdf_is_array(context, list))
        list = pdf_dict_put_array(context, form, PDF_NAME(Fields), 4);
    for (int i = 0; i < pdf_array_len(context, fields); ++i) {
        pdf_obj* field = pdf_array_get(context, fields, i);
        if (!copy->keep.count(pdf_to_num(context, field)))
            continue;
        pdf_obj* copied = copyField(copy, field, nullptr, 0);
        if (!copied)
            continue;
        fz_try(context)
        {
            pdf_obj* same = unite ? namesake(context, list, copied) : nullptr;
            if (same)
                uniteField(copy, same, copied, 0);
            else
                pdf_array_push(context, list, copied);
        }
        fz_always(context)
        {
            pdf_drop_obj(context, copied);
        }
        fz_catch(context)
        {
            fz_rethrow(context);
        }
    }
    addCalculationOrder(copy, sourceForm, form);
}
} // namespace

void PdfFormCopier::copy(MuPdfSession& session, pdf_graft_map* map, pdf_document* source,
                         const std::map<int, int>& widgets, pdf_document* target, bool unite)
{
    Copy copy{session.context(), map, target, &widgets, {}, {}, {}};
    session.run([&] { copyForm(&copy, source, unite); });
    if (copy.loopCut)
        session.noteLeftOut("a loop in the form field tree");
    if (copy.depthCut)
        session.noteLeftOut(QString("form fields nested deeper than %1 levels").arg(kMaxDepth));
}
