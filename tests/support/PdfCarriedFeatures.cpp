#include "PdfCarriedFeatures.h"

#include <cstring>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QMap>

#include "TestEnv.h"

namespace
{
pdf_obj* catalogOf(fz_context* context, pdf_document* document)
{
    return pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
}

pdf_obj* addStream(fz_context* context, pdf_document* document, const QByteArray& bytes, pdf_obj* dictionary)
{
    fz_buffer* buffer = fz_new_buffer_from_copied_data(
        context, reinterpret_cast<const unsigned char*>(bytes.constData()), size_t(bytes.size()));
    pdf_obj* stream = nullptr;
    fz_try(context)
    {
        stream = pdf_add_stream(context, document, buffer, dictionary, 0);
    }
    fz_always(context)
    {
        fz_drop_buffer(context, buffer);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return stream;
}

pdf_obj* addFont(fz_context* context, pdf_document* document, const char* name)
{
    pdf_obj* font = pdf_add_new_dict(context, document, 4);
    pdf_dict_put(context, font, PDF_NAME(Type), PDF_NAME(Font));
    pdf_dict_put(context, font, PDF_NAME(Subtype), PDF_NAME(Type1));
    pdf_dict_put_name(context, font, PDF_NAME(BaseFont), name);
    return font;
}

// A form XObject that draws text in the font named /F.
pdf_obj* addAppearance(fz_context* context, pdf_document* document, pdf_obj* font, const QByteArray& text)
{
    pdf_obj* dictionary = pdf_new_dict(context, document, 4);
    pdf_obj* appearance = nullptr;
    fz_try(context)
    {
        pdf_dict_put(context, dictionary, PDF_NAME(Type), PDF_NAME(XObject));
        pdf_dict_put(context, dictionary, PDF_NAME(Subtype), PDF_NAME(Form));
        pdf_dict_put_rect(context, dictionary, PDF_NAME(BBox), fz_make_rect(0, 0, 160, 20));
        pdf_obj* fonts = pdf_dict_put_dict(
            context, pdf_dict_put_dict(context, dictionary, PDF_NAME(Resources), 1), PDF_NAME(Font), 1);
        pdf_dict_puts(context, fonts, "F", font);
        appearance = addStream(context, document,
                               "/Tx BMC q BT /F 10 Tf 0 g 2 6 Td (" + text + ") Tj ET Q EMC", dictionary);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, dictionary);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return appearance;
}

// Makes field (a new dictionary) a widget on page too, listed in the page's annotations.
void placeWidget(fz_context* context, pdf_document* document, pdf_obj* field, int page, float y)
{
    pdf_obj* pageObject = pdf_lookup_page_obj(context, document, page);
    pdf_obj* annotations = pdf_dict_get(context, pageObject, PDF_NAME(Annots));
    if (!annotations)
        annotations = pdf_dict_put_array(context, pageObject, PDF_NAME(Annots), 2);
    pdf_dict_put(context, field, PDF_NAME(Type), PDF_NAME(Annot));
    pdf_dict_put(context, field, PDF_NAME(Subtype), PDF_NAME(Widget));
    pdf_dict_put_rect(context, field, PDF_NAME(Rect), fz_make_rect(300, y, 460, y + 20));
    pdf_dict_put(context, field, PDF_NAME(P), pageObject);
    pdf_dict_put_int(context, field, PDF_NAME(F), 4);
    pdf_array_push(context, annotations, field);
}

pdf_obj* addTextField(fz_context* context, pdf_document* document, pdf_obj* font, const char* name,
                      const char* value, int page)
{
    pdf_obj* field = pdf_add_new_dict(context, document, 10);
    pdf_dict_put(context, field, PDF_NAME(FT), PDF_NAME(Tx));
    pdf_dict_put_text_string(context, field, PDF_NAME(T), name);
    pdf_dict_put_text_string(context, field, PDF_NAME(V), value);
    pdf_dict_put_string(context, field, PDF_NAME(DA), "/Helv 10 Tf 0 g", 15);
    pdf_obj* appearance = addAppearance(context, document, font, value);
    pdf_dict_put_drop(context, pdf_dict_put_dict(context, field, PDF_NAME(AP), 1), PDF_NAME(N), appearance);
    placeWidget(context, document, field, page, 720);
    return field;
}

void addForm(fz_context* context, pdf_document* document)
{
    pdf_obj* helvetica = addFont(context, document, "Helvetica");
    pdf_obj* dingbats = addFont(context, document, "ZapfDingbats");
    pdf_obj* form = pdf_add_new_dict(context, document, 4);
    pdf_dict_put_drop(context, catalogOf(context, document), PDF_NAME(AcroForm), form);
    pdf_obj* fonts =
        pdf_dict_put_dict(context, pdf_dict_put_dict(context, form, PDF_NAME(DR), 1), PDF_NAME(Font), 2);
    pdf_dict_puts(context, fonts, "Helv", helvetica);
    pdf_dict_puts(context, fonts, "ZaDb", dingbats);
    pdf_dict_put_string(context, form, PDF_NAME(DA), "/Helv 10 Tf 0 g", 15);
    pdf_dict_puts_drop(context, form, "NeedAppearances", PDF_TRUE);
    pdf_obj* fields = pdf_dict_put_array(context, form, PDF_NAME(Fields), 5);

    pdf_array_push_drop(context, fields, addTextField(context, document, helvetica, "name", "Zhang Wei", 0));
    pdf_array_push_drop(context, fields, addTextField(context, document, helvetica, "city", "Hangzhou", 5));

    pdf_obj* box = pdf_add_new_dict(context, document, 10);
    pdf_array_push_drop(context, fields, box);
    pdf_dict_put(context, box, PDF_NAME(FT), PDF_NAME(Btn));
    pdf_dict_put_text_string(context, box, PDF_NAME(T), "agree");
    pdf_dict_put_name(context, box, PDF_NAME(V), "Yes");
    pdf_dict_put_name(context, box, PDF_NAME(AS), "Yes");
    pdf_obj* states =
        pdf_dict_put_dict(context, pdf_dict_put_dict(context, box, PDF_NAME(AP), 1), PDF_NAME(N), 2);
    pdf_dict_puts_drop(context, states, "Yes", addAppearance(context, document, dingbats, "4"));
    pdf_dict_puts_drop(context, states, "Off", addAppearance(context, document, dingbats, ""));
    placeWidget(context, document, box, 10, 680);

    pdf_obj* colour = addTextField(context, document, helvetica, "colour", "Green", 6);
    pdf_array_push_drop(context, fields, colour);
    pdf_dict_put(context, colour, PDF_NAME(FT), PDF_NAME(Ch));
    pdf_dict_put_int(context, colour, PDF_NAME(Ff), 1 << 17);
    pdf_obj* options = pdf_dict_put_array(context, colour, PDF_NAME(Opt), 3);
    for (const char* option : {"Red", "Green", "Blue"})
        pdf_array_push_text_string(context, options, option);

    pdf_obj* address = pdf_add_new_dict(context, document, 3);
    pdf_array_push_drop(context, fields, address);
    pdf_dict_put_text_string(context, address, PDF_NAME(T), "address");
    pdf_obj* kids = pdf_dict_put_array(context, address, PDF_NAME(Kids), 2);
    pdf_obj* street = addTextField(context, document, helvetica, "street", "Main Road 1", 4);
    pdf_obj* zip = addTextField(context, document, helvetica, "zip", "310000", 5);
    pdf_dict_put(context, street, PDF_NAME(Parent), address);
    pdf_dict_put(context, zip, PDF_NAME(Parent), address);
    pdf_array_push_drop(context, kids, street);
    pdf_array_push_drop(context, kids, zip);
    pdf_drop_obj(context, dingbats);
    pdf_drop_obj(context, helvetica);
}

pdf_obj* addFile(fz_context* context, pdf_document* document, const char* name, const QByteArray& bytes)
{
    fz_buffer* buffer = fz_new_buffer_from_copied_data(
        context, reinterpret_cast<const unsigned char*>(bytes.constData()), size_t(bytes.size()));
    pdf_obj* file = nullptr;
    fz_try(context)
    {
        file = pdf_add_embedded_file(context, document, name, nullptr, buffer, 0, 0, 0);
    }
    fz_always(context)
    {
        fz_drop_buffer(context, buffer);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
    return file;
}

// Photograph-like bytes that no coding shrinks much: a JPEG of noise.
QByteArray photoBytes()
{
    QImage image(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x + y * 53) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

void addAttachments(fz_context* context, pdf_document* document, const QByteArray& photo)
{
    pdf_obj* names = pdf_dict_put_dict(context, catalogOf(context, document), PDF_NAME(Names), 1);
    pdf_obj* pairs = pdf_dict_put_array(
        context, pdf_dict_put_dict(context, names, PDF_NAME(EmbeddedFiles), 1), PDF_NAME(Names), 4);
    pdf_array_push_text_string(context, pairs, "data.csv");
    pdf_array_push_drop(context, pairs,
                        addFile(context, document, "data.csv", "item,amount\nbooks,12.50\npens,3.20\n"));
    pdf_array_push_text_string(context, pairs, "photo.jpg");
    pdf_array_push_drop(context, pairs, addFile(context, document, "photo.jpg", photo));

    pdf_obj* page = pdf_lookup_page_obj(context, document, 7);
    pdf_obj* annotations = pdf_dict_put_array(context, page, PDF_NAME(Annots), 1);
    pdf_obj* annotation = pdf_add_new_dict(context, document, 6);
    pdf_array_push_drop(context, annotations, annotation);
    pdf_dict_put(context, annotation, PDF_NAME(Type), PDF_NAME(Annot));
    pdf_dict_put(context, annotation, PDF_NAME(Subtype), PDF_NAME(FileAttachment));
    pdf_dict_put_rect(context, annotation, PDF_NAME(Rect), fz_make_rect(500, 700, 520, 720));
    pdf_dict_put(context, annotation, PDF_NAME(P), page);
    pdf_dict_put_text_string(context, annotation, PDF_NAME(Contents), "Attached note");
    pdf_dict_put_drop(context, annotation, PDF_NAME(FS),
                      addFile(context, document, "note.txt", "Remember the receipts.\n"));
}

pdf_obj* addElement(fz_context* context, pdf_document* document, pdf_obj* parent, const char* type)
{
    pdf_obj* element = pdf_add_new_dict(context, document, 6);
    pdf_dict_put_name(context, element, PDF_NAME(S), type);
    pdf_dict_puts(context, element, "P", parent);
    pdf_obj* kids = pdf_dict_gets(context, parent, "K");
    if (!pdf_is_array(context, kids)) {
        pdf_dict_puts_drop(context, parent, "K", pdf_new_array(context, document, 4));
        kids = pdf_dict_gets(context, parent, "K");
    }
    pdf_array_push(context, kids, element);
    return element;
}

// Every page's drawing becomes a paragraph (marked content 0) with an empty heading after it
// (marked content 1); three pages make a chapter.
void addTagging(fz_context* context, pdf_document* document)
{
    pdf_obj* catalog = catalogOf(context, document);
    pdf_dict_puts_drop(context, catalog, "MarkInfo", pdf_new_dict(context, document, 1));
    pdf_dict_puts(context, pdf_dict_gets(context, catalog, "MarkInfo"), "Marked", PDF_TRUE);
    pdf_dict_put_text_string(context, catalog, PDF_NAME(Lang), "en-US");
    pdf_obj* root = pdf_add_new_dict(context, document, 6);
    pdf_dict_puts_drop(context, catalog, "StructTreeRoot", root);
    pdf_dict_put_name(context, root, PDF_NAME(Type), "StructTreeRoot");
    pdf_dict_puts_drop(context, root, "RoleMap", pdf_new_dict(context, document, 1));
    pdf_dict_puts_drop(context, pdf_dict_gets(context, root, "RoleMap"), "Chapter",
                       pdf_new_name(context, "Sect"));
    pdf_dict_puts_drop(context, root, "ClassMap", pdf_new_dict(context, document, 1));
    pdf_obj* classes = pdf_dict_gets(context, root, "ClassMap");
    pdf_dict_puts_drop(context, classes, "Bold", pdf_new_dict(context, document, 2));
    pdf_obj* bold = pdf_dict_gets(context, classes, "Bold");
    pdf_dict_put_name(context, bold, PDF_NAME(O), "Layout");
    pdf_dict_puts_drop(context, bold, "FontWeight", pdf_new_int(context, 700));
    pdf_obj* nums = pdf_new_array(context, document, 24);
    pdf_dict_puts_drop(context, root, "ParentTree", pdf_new_dict(context, document, 1));
    pdf_dict_put_drop(context, pdf_dict_gets(context, root, "ParentTree"), PDF_NAME(Nums), nums);

    pdf_obj* whole = addElement(context, document, root, "Document");
    pdf_obj* before = addStream(context, document, "/P <</MCID 0>> BDC\n", nullptr);
    pdf_obj* after = addStream(context, document, "\nEMC /H1 <</MCID 1>> BDC EMC\n", nullptr);
    pdf_obj* chapter = nullptr;
    const int pages = pdf_count_pages(context, document);
    for (int page = 0; page < pages; ++page) {
        pdf_obj* object = pdf_lookup_page_obj(context, document, page);
        pdf_obj* old = pdf_dict_get(context, object, PDF_NAME(Contents));
        pdf_obj* contents = pdf_new_array(context, document, 3);
        pdf_array_push(context, contents, before);
        for (int i = 0; i < (pdf_is_array(context, old) ? pdf_array_len(context, old) : 1); ++i)
            pdf_array_push(context, contents,
                           pdf_is_array(context, old) ? pdf_array_get(context, old, i) : old);
        pdf_array_push(context, contents, after);
        pdf_dict_put_drop(context, object, PDF_NAME(Contents), contents);
        pdf_dict_put_int(context, object, PDF_NAME(StructParents), page);
        if (page % 3 == 0) {
            pdf_drop_obj(context, chapter);
            chapter = addElement(context, document, whole, "Chapter");
        }
        pdf_obj* paragraph = addElement(context, document, chapter, "P");
        pdf_obj* reference = pdf_new_dict(context, document, 3);
        pdf_dict_put_name(context, reference, PDF_NAME(Type), "MCR");
        pdf_dict_puts(context, reference, "Pg", object);
        pdf_dict_puts_drop(context, reference, "MCID", pdf_new_int(context, 0));
        pdf_dict_puts_drop(context, paragraph, "K", reference);
        char alt[32];
        fz_snprintf(alt, sizeof alt, "Page %d in words", page + 1);
        pdf_dict_put_text_string(context, paragraph, PDF_NAME(Alt), alt);
        pdf_obj* heading = addElement(context, document, chapter, "H1");
        pdf_dict_puts(context, heading, "Pg", object);
        pdf_dict_puts_drop(context, heading, "K", pdf_new_int(context, 1));
        pdf_dict_put_name(context, heading, PDF_NAME(C), "Bold");
        pdf_array_push_int(context, nums, page);
        pdf_obj* byNumber = pdf_array_push_array(context, nums, 2);
        pdf_array_push(context, byNumber, paragraph);
        pdf_array_push(context, byNumber, heading);
        pdf_drop_obj(context, heading);
        pdf_drop_obj(context, paragraph);
    }
    pdf_dict_puts_drop(context, root, "ParentTreeNextKey", pdf_new_int(context, pages));
    pdf_drop_obj(context, chapter);
    pdf_drop_obj(context, after);
    pdf_drop_obj(context, before);
    pdf_drop_obj(context, whole);

    pdf_obj* names = pdf_dict_put_dict(context, catalog, PDF_NAME(Names), 1);
    pdf_obj* scripts = pdf_dict_put_array(context, pdf_dict_put_dict(context, names, PDF_NAME(JavaScript), 1),
                                          PDF_NAME(Names), 2);
    pdf_array_push_text_string(context, scripts, "init");
    pdf_obj* script = pdf_array_push_dict(context, scripts, 2);
    pdf_dict_put(context, script, PDF_NAME(S), PDF_NAME(JavaScript));
    pdf_dict_put_text_string(context, script, PDF_NAME(JS), "var opened = true;");
    pdf_dict_puts_drop(context, catalog, "OpenAction", pdf_new_dict(context, document, 2));
    pdf_obj* action = pdf_dict_gets(context, catalog, "OpenAction");
    pdf_dict_put(context, action, PDF_NAME(S), PDF_NAME(JavaScript));
    pdf_dict_put_text_string(context, action, PDF_NAME(JS), "app.alert('Welcome');");
}

// The same picture in CMYK ink (black taken out first), stored without loss.
void recolourPicture(fz_context* context, pdf_document* document, pdf_obj* object, pdf_obj* space)
{
    fz_image* image = pdf_load_image(context, document, object);
    fz_pixmap* decoded = nullptr;
    fz_pixmap* rgb = nullptr;
    fz_buffer* buffer = nullptr;
    fz_var(decoded);
    fz_var(rgb);
    fz_var(buffer);
    fz_try(context)
    {
        decoded = fz_get_pixmap_from_image(context, image, nullptr, nullptr, nullptr, nullptr);
        rgb = fz_convert_pixmap(context, decoded, fz_device_rgb(context), nullptr, nullptr,
                                fz_default_color_params, 0);
        const int width = rgb->w;
        const int height = rgb->h;
        buffer = fz_new_buffer(context, size_t(width) * size_t(height) * 4);
        for (int y = 0; y < height; ++y) {
            const unsigned char* line = rgb->samples + y * rgb->stride;
            for (int x = 0; x < width; ++x) {
                const int r = line[x * 3];
                const int g = line[x * 3 + 1];
                const int b = line[x * 3 + 2];
                const int k = 255 - qMax(r, qMax(g, b));
                fz_append_byte(context, buffer, 255 - r - k);
                fz_append_byte(context, buffer, 255 - g - k);
                fz_append_byte(context, buffer, 255 - b - k);
                fz_append_byte(context, buffer, k);
            }
        }
        pdf_update_stream(context, document, object, buffer, 0);
        pdf_dict_del(context, object, PDF_NAME(Filter));
        pdf_dict_del(context, object, PDF_NAME(DecodeParms));
        pdf_dict_del(context, object, PDF_NAME(Decode));
        pdf_dict_put_int(context, object, PDF_NAME(Width), width);
        pdf_dict_put_int(context, object, PDF_NAME(Height), height);
        pdf_dict_put_int(context, object, PDF_NAME(BitsPerComponent), 8);
        pdf_dict_put(context, object, PDF_NAME(ColorSpace), space);
    }
    fz_always(context)
    {
        fz_drop_buffer(context, buffer);
        fz_drop_pixmap(context, rgb);
        fz_drop_pixmap(context, decoded);
        fz_drop_image(context, image);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

// Every picture in CMYK; with a profile (ICC bytes), in CMYK with that profile.
void recolourPictures(fz_context* context, pdf_document* document, const QByteArray& profile)
{
    pdf_obj* space = PDF_NAME(DeviceCMYK);
    if (!profile.isEmpty()) {
        pdf_obj* dictionary = pdf_new_dict(context, document, 2);
        pdf_dict_put_int(context, dictionary, PDF_NAME(N), 4);
        pdf_dict_put(context, dictionary, PDF_NAME(Alternate), PDF_NAME(DeviceCMYK));
        pdf_obj* stream = addStream(context, document, profile, dictionary);
        pdf_drop_obj(context, dictionary);
        space = pdf_new_array(context, document, 2);
        pdf_array_push(context, space, PDF_NAME(ICCBased));
        pdf_array_push_drop(context, space, stream);
    }
    for (int number = 1; number < pdf_xref_len(context, document); ++number) {
        pdf_obj* object = pdf_new_indirect(context, document, number, 0);
        if (pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Subtype)), PDF_NAME(Image)) &&
            !pdf_dict_get(context, object, PDF_NAME(SMask)))
            recolourPicture(context, document, object, space);
        pdf_drop_obj(context, object);
    }
    pdf_drop_obj(context, space);
}

// garbage: MuPDF's do_garbage for the save (0 keeps every object and reference as it stands).
template <class Work> bool withDocument(const QString& path, bool save, Work work, int garbage = 1)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = QFile::encodeName(path);
    pdf_document* document = nullptr;
    volatile bool ok = true;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        work(context, document);
        if (save) {
            pdf_write_options options = pdf_default_write_options;
            options.do_garbage = garbage;
            options.do_compress = 1;
            pdf_save_document(context, document, (name + ".features").constData(), &options);
        }
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
    if (!ok || !save)
        return ok;
    QFile::remove(path);
    return QFile::rename(path + ".features", path);
}

QString textOf(fz_context* context, pdf_obj* value)
{
    if (pdf_is_name(context, value))
        return '/' + QString::fromUtf8(pdf_to_name(context, value));
    if (pdf_is_string(context, value))
        return QString::fromUtf8(pdf_to_text_string(context, value));
    if (pdf_is_bool(context, value))
        return pdf_to_bool(context, value) ? "true" : "false";
    return QString();
}

bool sameObject(fz_context* context, pdf_obj* a, pdf_obj* b)
{
    return pdf_is_indirect(context, a) && pdf_is_indirect(context, b) &&
           pdf_to_num(context, a) == pdf_to_num(context, b);
}

// The page (from 1) whose annotations hold widget and which the widget names as its page; 0 for
// none.
int pageOfWidget(fz_context* context, pdf_document* document, pdf_obj* widget)
{
    for (int page = 0; page < pdf_count_pages(context, document); ++page) {
        pdf_obj* object = pdf_lookup_page_obj(context, document, page);
        pdf_obj* annotations = pdf_dict_get(context, object, PDF_NAME(Annots));
        for (int i = 0; i < pdf_array_len(context, annotations); ++i) {
            if (sameObject(context, pdf_array_get(context, annotations, i), widget))
                return sameObject(context, pdf_dict_get(context, widget, PDF_NAME(P)), object) ? page + 1 : 0;
        }
    }
    return 0;
}

void describeField(fz_context* context, pdf_document* document, pdf_obj* field, const QString& prefix,
                   int depth, QStringList* lines)
{
    const QString name = prefix + textOf(context, pdf_dict_get(context, field, PDF_NAME(T)));
    QStringList pages;
    pdf_obj* kids = pdf_dict_get(context, field, PDF_NAME(Kids));
    if (pdf_name_eq(context, pdf_dict_get(context, field, PDF_NAME(Subtype)), PDF_NAME(Widget)))
        pages << QString::number(pageOfWidget(context, document, field));
    for (int i = 0; i < pdf_array_len(context, kids) && depth < 8; ++i) {
        pdf_obj* kid = pdf_array_get(context, kids, i);
        if (!sameObject(context, pdf_dict_get(context, kid, PDF_NAME(Parent)), field))
            pages << "kid without its parent";
        else if (pdf_dict_get(context, kid, PDF_NAME(T)))
            describeField(context, document, kid, name + '.', depth + 1, lines);
        else
            pages << QString::number(pageOfWidget(context, document, kid));
    }
    if (!pages.isEmpty())
        lines->append(QString("%1=%2 (%3) %4")
                          .arg(name, textOf(context, pdf_dict_get_inheritable(context, field, PDF_NAME(V))),
                               textOf(context, pdf_dict_get_inheritable(context, field, PDF_NAME(FT))),
                               pages.join(' ')));
}

void describeForm(fz_context* context, pdf_document* document, QStringList* lines)
{
    pdf_obj* form = pdf_dict_get(context, catalogOf(context, document), PDF_NAME(AcroForm));
    lines->append("NeedAppearances " + textOf(context, pdf_dict_gets(context, form, "NeedAppearances")));
    pdf_obj* fields = pdf_dict_get(context, form, PDF_NAME(Fields));
    // The order of the fields in the form means nothing to a viewer (the tab order goes by pages).
    QStringList fieldLines;
    for (int i = 0; i < pdf_array_len(context, fields); ++i)
        describeField(context, document, pdf_array_get(context, fields, i), QString(), 0, &fieldLines);
    fieldLines.sort();
    lines->append(fieldLines);
}

QString fileText(fz_context* context, pdf_obj* file)
{
    fz_buffer* buffer = pdf_load_embedded_file_contents(context, file);
    unsigned char* data = nullptr;
    const size_t length = fz_buffer_storage(context, buffer, &data);
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(length));
    fz_drop_buffer(context, buffer);
    return QString("%1 bytes %2")
        .arg(bytes.size())
        .arg(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
}

void describeAttachments(fz_context* context, pdf_document* document, QStringList* lines)
{
    pdf_obj* files = pdf_load_name_tree(context, document, PDF_NAME(EmbeddedFiles));
    for (int i = 0; i < pdf_dict_len(context, files); ++i)
        lines->append(QString("%1: %2").arg(
            QString::fromUtf8(pdf_to_name(context, pdf_dict_get_key(context, files, i))),
            fileText(context, pdf_dict_get_val(context, files, i))));
    pdf_drop_obj(context, files);
    for (int page = 0; page < pdf_count_pages(context, document); ++page) {
        pdf_obj* annotations =
            pdf_dict_get(context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Annots));
        for (int i = 0; i < pdf_array_len(context, annotations); ++i) {
            pdf_obj* file = pdf_dict_get(context, pdf_array_get(context, annotations, i), PDF_NAME(FS));
            if (file)
                lines->append(QString("page %1 %2: %3")
                                  .arg(page + 1)
                                  .arg(textOf(context, pdf_dict_get(context, file, PDF_NAME(F))),
                                       fileText(context, file)));
        }
    }
}

struct Structure {
    fz_context* context;
    QMap<int, int> pages; // page object -> page from 1
    pdf_obj* parentTree;
    QStringList* lines;
};

// "3:0" for marked content 0 on page 3, followed by "!" when the parent tree does not lead back
// to element.
QString contentText(const Structure& tree, pdf_obj* element, pdf_obj* page, pdf_obj* number)
{
    fz_context* context = tree.context;
    const int key = pdf_dict_get_int(context, page, PDF_NAME(StructParents));
    pdf_obj* back =
        pdf_array_get(context, pdf_lookup_number(context, tree.parentTree, key), pdf_to_int(context, number));
    return QString("%1:%2%3")
        .arg(tree.pages.value(pdf_to_num(context, page)))
        .arg(pdf_to_int(context, number))
        .arg(sameObject(context, back, element) ? "" : "!");
}

QString elementLine(fz_context* context, pdf_obj* element, pdf_obj* parent, const QStringList& content)
{
    QString line = textOf(context, pdf_dict_get(context, element, PDF_NAME(S)));
    if (!sameObject(context, pdf_dict_gets(context, element, "P"), parent))
        line += " (parent lost)";
    if (!content.isEmpty())
        line += ' ' + content.join(' ');
    if (pdf_dict_get(context, element, PDF_NAME(Alt)))
        line += " \"" + textOf(context, pdf_dict_get(context, element, PDF_NAME(Alt))) + '"';
    if (pdf_dict_get(context, element, PDF_NAME(C)))
        line += " class " + textOf(context, pdf_dict_get(context, element, PDF_NAME(C)));
    return line;
}

void describeElement(const Structure& tree, pdf_obj* element, pdf_obj* parent, int depth)
{
    fz_context* context = tree.context;
    QStringList content;
    QList<pdf_obj*> children;
    pdf_obj* page = pdf_dict_gets(context, element, "Pg");
    pdf_obj* kids = pdf_dict_gets(context, element, "K");
    const int count = pdf_is_array(context, kids) ? pdf_array_len(context, kids) : kids ? 1 : 0;
    for (int i = 0; i < count; ++i) {
        pdf_obj* kid = pdf_is_array(context, kids) ? pdf_array_get(context, kids, i) : kids;
        pdf_obj* kidPage = pdf_dict_gets(context, kid, "Pg");
        if (pdf_is_int(context, kid))
            content << contentText(tree, element, page, kid);
        else if (pdf_dict_gets(context, kid, "MCID"))
            content << contentText(tree, element, kidPage ? kidPage : page,
                                   pdf_dict_gets(context, kid, "MCID"));
        else
            children << kid;
    }
    tree.lines->append(QString(depth * 2, ' ') + elementLine(context, element, parent, content));
    for (pdf_obj* child : children) {
        if (depth < 16)
            describeElement(tree, child, element, depth + 1);
    }
}

void describeStructure(fz_context* context, pdf_document* document, QStringList* lines)
{
    pdf_obj* catalog = catalogOf(context, document);
    pdf_obj* root = pdf_dict_gets(context, catalog, "StructTreeRoot");
    lines->append(
        "Marked " +
        textOf(context, pdf_dict_gets(context, pdf_dict_gets(context, catalog, "MarkInfo"), "Marked")));
    lines->append("Lang " + textOf(context, pdf_dict_get(context, catalog, PDF_NAME(Lang))));
    for (const char* key : {"RoleMap", "ClassMap"}) {
        pdf_obj* map = pdf_dict_gets(context, root, key);
        for (int i = 0; i < pdf_dict_len(context, map); ++i)
            lines->append(QString("%1 %2 %3")
                              .arg(key, textOf(context, pdf_dict_get_key(context, map, i)),
                                   textOf(context, pdf_dict_get_val(context, map, i))));
    }
    pdf_obj* scripts = pdf_load_name_tree(context, document, PDF_NAME(JavaScript));
    for (int i = 0; i < pdf_dict_len(context, scripts); ++i)
        lines->append(QString("JavaScript %1: %2")
                          .arg(QString::fromUtf8(pdf_to_name(context, pdf_dict_get_key(context, scripts, i))),
                               textOf(context, pdf_dict_get(context, pdf_dict_get_val(context, scripts, i),
                                                            PDF_NAME(JS)))));
    pdf_drop_obj(context, scripts);
    lines->append(
        "OpenAction " +
        textOf(context, pdf_dict_get(context, pdf_dict_gets(context, catalog, "OpenAction"), PDF_NAME(JS))));
    Structure tree{context, {}, pdf_dict_gets(context, root, "ParentTree"), lines};
    for (int page = 0; page < pdf_count_pages(context, document); ++page)
        tree.pages[pdf_to_num(context, pdf_lookup_page_obj(context, document, page))] = page + 1;
    pdf_obj* kids = pdf_dict_gets(context, root, "K");
    const int count = pdf_is_array(context, kids) ? pdf_array_len(context, kids) : kids ? 1 : 0;
    for (int i = 0; i < count; ++i)
        describeElement(tree, pdf_is_array(context, kids) ? pdf_array_get(context, kids, i) : kids, root, 0);
}

void describePictures(fz_context* context, pdf_document* document, QStringList* lines)
{
    for (int number = 1; number < pdf_xref_len(context, document); ++number) {
        pdf_obj* object = pdf_new_indirect(context, document, number, 0);
        if (pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Subtype)), PDF_NAME(Image))) {
            pdf_obj* space = pdf_dict_get(context, object, PDF_NAME(ColorSpace));
            lines->append(
                pdf_is_array(context, space)
                    ? QString("%1 N=%2")
                          .arg(textOf(context, pdf_array_get(context, space, 0)))
                          .arg(pdf_dict_get_int(context, pdf_array_get(context, space, 1), PDF_NAME(N)))
                    : textOf(context, space));
        }
        pdf_drop_obj(context, object);
    }
}
// Puts missing where PdfCarriedFeatures::addMissingReference says; false when the document has no
// such place.
bool putMissing(fz_context* context, pdf_document* document, const QString& place, pdf_obj* missing)
{
    pdf_obj* catalog = catalogOf(context, document);
    if (place == "font") {
        pdf_obj* resources =
            pdf_dict_get(context, pdf_lookup_page_obj(context, document, 0), PDF_NAME(Resources));
        if (!pdf_is_dict(context, resources))
            return false;
        pdf_obj* fonts = pdf_dict_get(context, resources, PDF_NAME(Font));
        if (!pdf_is_dict(context, fonts))
            fonts = pdf_dict_put_dict(context, resources, PDF_NAME(Font), 1);
        pdf_dict_puts(context, fonts, "FLost", missing);
        return true;
    }
    pdf_obj* list = nullptr;
    if (place == "attachment" || place == "script") {
        const bool files = place == "attachment";
        pdf_obj* tree = pdf_dict_get(context, pdf_dict_get(context, catalog, PDF_NAME(Names)),
                                     files ? PDF_NAME(EmbeddedFiles) : PDF_NAME(JavaScript));
        list = pdf_dict_get(context, tree, PDF_NAME(Names));
        if (!pdf_is_array(context, list))
            return false;
        pdf_array_push_text_string(context, list, files ? "lost.bin" : "lost");
    } else if (place == "form field") {
        list = pdf_dict_get(context, pdf_dict_get(context, catalog, PDF_NAME(AcroForm)), PDF_NAME(Fields));
    } else if (place == "structure element") {
        pdf_obj* whole = pdf_array_get(
            context, pdf_dict_gets(context, pdf_dict_gets(context, catalog, "StructTreeRoot"), "K"), 0);
        list = pdf_dict_gets(context, pdf_array_get(context, pdf_dict_gets(context, whole, "K"), 0), "K");
    } else if (place == "annotation") {
        pdf_obj* page = pdf_lookup_page_obj(context, document, 7);
        list = pdf_dict_get(context, page, PDF_NAME(Annots));
        if (!pdf_is_array(context, list))
            list = pdf_dict_put_array(context, page, PDF_NAME(Annots), 1);
    }
    if (!pdf_is_array(context, list))
        return false;
    pdf_array_push(context, list, missing);
    return true;
}

// Bytes of room for the signature in /Contents, and the numbers that stand for its byte range
// until the file is written (ten digits each, as the real ones are written).
const int kSignatureRoom = 8192;
const char* const kRangePlaceholder = "1111111111 1222222222 1333333333";

// The signature field of PdfCarriedFeatures::addSignature; a "signed" one with a signature whose
// byte range and contents are placeholders.
void addSignatureField(fz_context* context, pdf_document* document, const QString& kind)
{
    pdf_obj* catalog = catalogOf(context, document);
    pdf_obj* form = pdf_dict_get(context, catalog, PDF_NAME(AcroForm));
    if (!pdf_is_dict(context, form))
        form = pdf_dict_put_dict(context, catalog, PDF_NAME(AcroForm), 2);
    pdf_obj* fields = pdf_dict_get(context, form, PDF_NAME(Fields));
    if (!pdf_is_array(context, fields))
        fields = pdf_dict_put_array(context, form, PDF_NAME(Fields), 1);
    pdf_obj* field = pdf_add_new_dict(context, document, 8);
    pdf_array_push_drop(context, fields, field);
    pdf_dict_put(context, field, PDF_NAME(FT), PDF_NAME(Sig));
    pdf_dict_put_text_string(context, field, PDF_NAME(T), "Signature1");
    placeWidget(context, document, field, 0, 40);
    if (kind == "append only")
        pdf_dict_put_int(context, form, PDF_NAME(SigFlags), 2);
    if (kind != "signed")
        return;
    pdf_dict_put_int(context, form, PDF_NAME(SigFlags), 3);
    pdf_obj* signature = pdf_add_new_dict(context, document, 6);
    pdf_dict_put_drop(context, field, PDF_NAME(V), signature);
    pdf_dict_put(context, signature, PDF_NAME(Type), PDF_NAME(Sig));
    pdf_dict_put_name(context, signature, PDF_NAME(Filter), "Adobe.PPKLite");
    pdf_dict_put_name(context, signature, PDF_NAME(SubFilter), "adbe.pkcs7.detached");
    pdf_obj* range = pdf_dict_put_array(context, signature, PDF_NAME(ByteRange), 4);
    pdf_array_push_int(context, range, 0);
    for (const int64_t placeholder : {1111111111, 1222222222, 1333333333})
        pdf_array_push_int(context, range, placeholder);
    const QByteArray room(kSignatureRoom / 2, '\0');
    pdf_dict_put_string(context, signature, PDF_NAME(Contents), room.constData(), size_t(room.size()));
    pdf_dict_put_string(context, signature, PDF_NAME(M), "D:20240101000000Z", 17);
}

// Signs the PDF at path, whose signature has placeholders for its byte range and contents: the
// range becomes everything but the contents, and openssl's signature of those bytes the contents.
bool signOverByteRange(const QString& path, const QString& workDir)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    file.close();
    const int range = bytes.indexOf(kRangePlaceholder);
    const int contents = bytes.indexOf('<' + QByteArray(kSignatureRoom, '0') + '>');
    if (range < 0 || contents < 0)
        return false;
    const qint64 after = contents + kSignatureRoom + 2;
    const QByteArray numbers = QString("%1 %2 %3")
                                   .arg(contents, 10, 10, QChar('0'))
                                   .arg(after, 10, 10, QChar('0'))
                                   .arg(bytes.size() - after, 10, 10, QChar('0'))
                                   .toLatin1();
    bytes.replace(range, numbers.size(), numbers);

    const QString key = workDir + "/signer key.pem";
    const QString certificate = workDir + "/signer certificate.pem";
    const QString signedBytes = workDir + "/signed bytes.bin";
    const QString signature = workDir + "/signature.der";
    QFile data(signedBytes);
    if (!data.open(QIODevice::WriteOnly) || data.write(bytes.left(contents) + bytes.mid(int(after))) < 0)
        return false;
    data.close();
    if (!QFile::exists(certificate) &&
        TestEnv::runTool("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
                                     certificate, "-days", "3650", "-subj", "/CN=Vornex Test Signer"}) != 0)
        return false;
    if (TestEnv::runTool("openssl", {"cms", "-sign", "-binary", "-outform", "DER", "-noattr", "-signer",
                                     certificate, "-inkey", key, "-in", signedBytes, "-out", signature}) != 0)
        return false;
    QFile der(signature);
    if (!der.open(QIODevice::ReadOnly))
        return false;
    const QByteArray digits = der.readAll().toHex();
    if (digits.isEmpty() || digits.size() > kSignatureRoom)
        return false;
    bytes.replace(contents + 1, digits.size(), digits);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

bool PdfCarriedFeatures::add(const QString& path, const QString& feature)
{
    const QByteArray photo = photoBytes();
    // Ghostscript's CMYK profile for a printer, as the ghostscript package installs it.
    QFile profileFile("/usr/share/color/icc/ghostscript/default_cmyk.icc");
    QByteArray profile;
    if (feature == "icc-cmyk") {
        if (!profileFile.open(QIODevice::ReadOnly))
            return false;
        profile = profileFile.readAll();
    }
    return withDocument(path, true, [&](fz_context* context, pdf_document* document) {
        if (feature == "form")
            addForm(context, document);
        else if (feature == "attachments")
            addAttachments(context, document, photo);
        else if (feature == "tagged")
            addTagging(context, document);
        else if (feature == "cmyk" || feature == "icc-cmyk")
            recolourPictures(context, document, profile);
        else
            fz_throw(context, FZ_ERROR_GENERIC, "unknown feature");
    });
}

bool PdfCarriedFeatures::addMissingReference(const QString& path, const QString& place)
{
    return withDocument(
        path, true,
        [&](fz_context* context, pdf_document* document) {
            pdf_obj* missing = pdf_new_indirect(context, document, pdf_xref_len(context, document) + 1000, 0);
            bool placed = false;
            fz_try(context)
            {
                placed = putMissing(context, document, place, missing);
            }
            fz_always(context)
            {
                pdf_drop_obj(context, missing);
            }
            fz_catch(context)
            {
                fz_rethrow(context);
            }
            if (!placed)
                fz_throw(context, FZ_ERROR_GENERIC, "no such place");
        },
        0); // a collection of garbage would write the reference as null
}

bool PdfCarriedFeatures::addSignature(const QString& path, const QString& kind, const QString& workDir)
{
    const bool added = withDocument(path, true, [&](fz_context* context, pdf_document* document) {
        addSignatureField(context, document, kind);
    });
    return added && (kind != "signed" || signOverByteRange(path, workDir));
}

QStringList PdfCarriedFeatures::describe(const QString& path, const QString& feature)
{
    QStringList lines;
    const bool ok = withDocument(path, false, [&](fz_context* context, pdf_document* document) {
        if (feature == "form")
            describeForm(context, document, &lines);
        else if (feature == "attachments")
            describeAttachments(context, document, &lines);
        else if (feature == "tagged")
            describeStructure(context, document, &lines);
        else if (feature == "rgb" || feature == "cmyk" || feature == "icc-cmyk")
            describePictures(context, document, &lines);
    });
    return ok ? lines : QStringList();
}
