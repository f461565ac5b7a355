#include "HostilePdf.h"

#include <functional>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QFile>

#include "PdfFactory.h"

namespace
{
// Writes plain pages to path, then changes them through `change` (which runs inside MuPDF's guard).
bool writeChanged(const QString& path, int pages,
                  const std::function<void(fz_context*, pdf_document*)>& change)
{
    PdfFactory::Options options;
    options.pages = pages;
    options.content = PdfFactory::Content::Mixed;
    options.imageWidth = 400;
    if (!PdfFactory::write(path, options))
        return false;
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = QFile::encodeName(path);
    const QByteArray written = name + ".hostile";
    pdf_document* document = nullptr;
    volatile bool ok = true;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        change(context, document);
        pdf_save_document(context, document, written.constData(), &pdf_default_write_options);
    }
    fz_always(context)
    {
        pdf_drop_document(context, document);
    }
    fz_catch(context)
    {
        ok = false;
    }
    fz_drop_context(context);
    return ok && QFile::remove(path) && QFile::rename(QFile::decodeName(written), path);
}

pdf_obj* pageTreeOf(fz_context* context, pdf_document* document)
{
    return pdf_dict_getp(context, pdf_trailer(context, document), "Root/Pages");
}

void putKids(fz_context* context, pdf_obj* field, pdf_obj* first, pdf_obj* second, pdf_obj* third = nullptr)
{
    pdf_obj* kids = pdf_dict_put_array(context, field, PDF_NAME(Kids), 3);
    pdf_array_push(context, kids, first);
    pdf_array_push(context, kids, second);
    if (third)
        pdf_array_push(context, kids, third);
}

void addLoopingForm(fz_context* context, pdf_document* document)
{
    pdf_obj* a = pdf_add_new_dict(context, document, 4);
    pdf_obj* b = pdf_add_new_dict(context, document, 5);
    pdf_obj* c = pdf_add_new_dict(context, document, 4);
    pdf_obj* widget = pdf_add_new_dict(context, document, 6);
    fz_try(context)
    {
        pdf_obj* page = pdf_lookup_page_obj(context, document, 0);
        pdf_dict_put(context, widget, PDF_NAME(Type), PDF_NAME(Annot));
        pdf_dict_put(context, widget, PDF_NAME(Subtype), PDF_NAME(Widget));
        pdf_dict_put_rect(context, widget, PDF_NAME(Rect), fz_make_rect(72, 72, 272, 96));
        pdf_dict_put(context, widget, PDF_NAME(P), page);
        pdf_dict_put(context, widget, PDF_NAME(Parent), b);
        pdf_array_push(context, pdf_dict_put_array(context, page, PDF_NAME(Annots), 1), widget);

        pdf_dict_put_text_string(context, a, PDF_NAME(T), "a");
        pdf_dict_put_text_string(context, b, PDF_NAME(T), "b");
        pdf_dict_put_text_string(context, c, PDF_NAME(T), "c");
        pdf_dict_put(context, b, PDF_NAME(FT), PDF_NAME(Tx));
        pdf_dict_put_text_string(context, b, PDF_NAME(V), "x");
        putKids(context, a, b, c);
        putKids(context, b, a, c, widget);
        putKids(context, c, a, b);
        pdf_dict_put(context, a, PDF_NAME(Parent), c);
        pdf_dict_put(context, b, PDF_NAME(Parent), a);
        pdf_dict_put(context, c, PDF_NAME(Parent), b);

        pdf_obj* catalog = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
        pdf_obj* form = pdf_dict_put_dict(context, catalog, PDF_NAME(AcroForm), 2);
        pdf_array_push(context, pdf_dict_put_array(context, form, PDF_NAME(Fields), 1), a);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, widget);
        pdf_drop_obj(context, c);
        pdf_drop_obj(context, b);
        pdf_drop_obj(context, a);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}
} // namespace

bool HostilePdf::writeClaimingPages(const QString& path, int pages, int claimed)
{
    return writeChanged(path, pages, [claimed](fz_context* context, pdf_document* document) {
        pdf_dict_put_int(context, pageTreeOf(context, document), PDF_NAME(Count), claimed);
    });
}

bool HostilePdf::writePageTreeLoop(const QString& path, int pages)
{
    return writeChanged(path, pages, [](fz_context* context, pdf_document* document) {
        pdf_obj* root = pdf_dict_get(
            context, pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root)), PDF_NAME(Pages));
        pdf_array_push(context, pdf_dict_get(context, root, PDF_NAME(Kids)), root);
    });
}

bool HostilePdf::writeFormWithKidsLoop(const QString& path)
{
    return writeChanged(path, 1, addLoopingForm);
}
