#include "PdfFactory.h"

#include "PdfCarriedFeatures.h"
#include "TestEnv.h"

#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QFile>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>

namespace
{
QImage photograph(int width, int height, quint32 seed)
{
    // Smooth colour fields with soft discs and grain: compresses like a photograph, not like a chart.
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 120, 220));
    gradient.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
    QPainter painter(&image);
    painter.fillRect(image.rect(), gradient);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 40; ++i) {
        QColor colour = QColor::fromHsv(int(random.bounded(360)), 150, 200, 90);
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        const int radius = 20 + int(random.bounded(width / 6));
        painter.drawEllipse(QPoint(int(random.bounded(width)), int(random.bounded(height))), radius, radius);
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random.bounded(17)) - 8;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + grain, 255), qBound(0, qGreen(p) + grain, 255),
                           qBound(0, qBlue(p) + grain, 255));
        }
    }
    return image;
}

const char* const kWords[] = {"compress", "document", "page",   "range",  "merge",   "quality", "picture",
                              "text",     "font",     "stream", "object", "outline", "folder",  "worker"};

void drawText(QPainter& painter, const QRect& area, int page, int lines)
{
    QFont font("DejaVu Sans");
    font.setPointSizeF(10);
    painter.setFont(font);
    const int height = area.height() / qMax(lines, 1);
    for (int line = 0; line < lines; ++line) {
        QString text = QString("Page %1 line %2:").arg(page + 1).arg(line + 1);
        for (int word = 0; word < 9; ++word)
            text += ' ' + QString::fromLatin1(kWords[(page * 7 + line * 3 + word) % 14]);
        painter.drawText(area.left(), area.top() + (line + 1) * height, text);
    }
}

pdf_obj* addStream(fz_context* context, pdf_document* document, const char* text)
{
    fz_buffer* buffer = fz_new_buffer_from_copied_data(context, reinterpret_cast<const unsigned char*>(text),
                                                       std::strlen(text));
    pdf_obj* stream = nullptr;
    fz_var(stream);
    fz_try(context)
    {
        stream = pdf_add_stream(context, document, buffer, nullptr, 0);
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

// Draws a box in each of the layers on every page, the page's own drawing kept apart by q/Q.
void drawInLayers(fz_context* context, pdf_document* document, pdf_obj* answers, pdf_obj* questions)
{
    pdf_obj* save = addStream(context, document, "q\n");
    pdf_obj* boxes = nullptr;
    fz_var(boxes);
    fz_try(context)
    {
        boxes = addStream(context, document,
                          "\nQ /OC /Answers BDC 1 0 0 rg 40 40 160 60 re f EMC"
                          " /OC /Questions BDC 0 0 1 rg 240 40 160 60 re f EMC\n");
        for (int page = 0; page < pdf_count_pages(context, document); ++page) {
            pdf_obj* object = pdf_lookup_page_obj(context, document, page);
            pdf_obj* resources = pdf_dict_get_inheritable(context, object, PDF_NAME(Resources));
            if (!resources)
                resources = pdf_dict_put_dict(context, object, PDF_NAME(Resources), 1);
            pdf_obj* properties = pdf_dict_get(context, resources, PDF_NAME(Properties));
            if (!properties)
                properties = pdf_dict_put_dict(context, resources, PDF_NAME(Properties), 2);
            pdf_dict_puts(context, properties, "Answers", answers);
            pdf_dict_puts(context, properties, "Questions", questions);
            pdf_obj* old = pdf_dict_get(context, object, PDF_NAME(Contents));
            pdf_obj* contents = pdf_new_array(context, document, 4);
            pdf_array_push(context, contents, save);
            if (pdf_is_array(context, old)) {
                for (int i = 0; i < pdf_array_len(context, old); ++i)
                    pdf_array_push(context, contents, pdf_array_get(context, old, i));
            } else {
                pdf_array_push(context, contents, old);
            }
            pdf_array_push(context, contents, boxes);
            pdf_dict_put_drop(context, object, PDF_NAME(Contents), contents);
        }
    }
    fz_always(context)
    {
        pdf_drop_obj(context, boxes);
        pdf_drop_obj(context, save);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

// Layer "Answers", off by default, and layer "Questions", on.
void addLayers(fz_context* context, pdf_document* document)
{
    pdf_obj* answers = pdf_add_new_dict(context, document, 2);
    pdf_obj* questions = nullptr;
    fz_var(questions);
    fz_try(context)
    {
        questions = pdf_add_new_dict(context, document, 2);
        pdf_dict_put(context, answers, PDF_NAME(Type), PDF_NAME(OCG));
        pdf_dict_put_text_string(context, answers, PDF_NAME(Name), "Answers");
        pdf_dict_put(context, questions, PDF_NAME(Type), PDF_NAME(OCG));
        pdf_dict_put_text_string(context, questions, PDF_NAME(Name), "Questions");
        pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
        pdf_obj* properties = pdf_dict_put_dict(context, root, PDF_NAME(OCProperties), 2);
        pdf_obj* layers = pdf_dict_put_array(context, properties, PDF_NAME(OCGs), 2);
        pdf_array_push(context, layers, answers);
        pdf_array_push(context, layers, questions);
        pdf_obj* view = pdf_dict_put_dict(context, properties, PDF_NAME(D), 4);
        pdf_dict_put_text_string(context, view, PDF_NAME(Name), "Exam");
        pdf_obj* order = pdf_dict_put_array(context, view, PDF_NAME(Order), 2);
        pdf_array_push(context, order, questions);
        pdf_array_push(context, order, answers);
        pdf_array_push(context, pdf_dict_put_array(context, view, PDF_NAME(ON), 1), questions);
        pdf_array_push(context, pdf_dict_put_array(context, view, PDF_NAME(OFF), 1), answers);
        drawInLayers(context, document, answers, questions);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, questions);
        pdf_drop_obj(context, answers);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

// A sticky note and its pop-up window on page, at height y.
void addNote(fz_context* context, pdf_document* document, pdf_obj* page, float y, int number)
{
    pdf_obj* annotations = pdf_dict_get(context, page, PDF_NAME(Annots));
    if (!annotations)
        annotations = pdf_dict_put_array(context, page, PDF_NAME(Annots), 2);
    pdf_obj* note = pdf_add_new_dict(context, document, 6);
    pdf_obj* popup = nullptr;
    fz_var(popup);
    fz_try(context)
    {
        popup = pdf_add_new_dict(context, document, 6);
        char text[32];
        fz_snprintf(text, sizeof text, "Note %d", number);
        pdf_dict_put(context, note, PDF_NAME(Type), PDF_NAME(Annot));
        pdf_dict_put(context, note, PDF_NAME(Subtype), PDF_NAME(Text));
        pdf_dict_put_rect(context, note, PDF_NAME(Rect), fz_make_rect(500, y, 520, y + 20));
        pdf_dict_put_text_string(context, note, PDF_NAME(Contents), text);
        pdf_dict_put(context, note, PDF_NAME(P), page);
        pdf_dict_put(context, note, PDF_NAME(Popup), popup);
        pdf_dict_put(context, popup, PDF_NAME(Type), PDF_NAME(Annot));
        pdf_dict_put(context, popup, PDF_NAME(Subtype), PDF_NAME(Popup));
        pdf_dict_put_rect(context, popup, PDF_NAME(Rect), fz_make_rect(320, y - 100, 500, y));
        pdf_dict_put(context, popup, PDF_NAME(P), page);
        pdf_dict_put(context, popup, PDF_NAME(Parent), note);
        pdf_dict_put_bool(context, popup, PDF_NAME(Open), 0);
        pdf_array_push(context, annotations, note);
        pdf_array_push(context, annotations, popup);
    }
    fz_always(context)
    {
        pdf_drop_obj(context, popup);
        pdf_drop_obj(context, note);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

// Sticky notes on the pages in turn.
void addNotes(fz_context* context, pdf_document* document, int count)
{
    const int pages = pdf_count_pages(context, document);
    for (int i = 0; i < count; ++i)
        addNote(context, document, pdf_lookup_page_obj(context, document, i % pages),
                700 - 40 * float(i / pages), i + 1);
}

void addOutline(fz_context* context, pdf_document* document, int every)
{
    fz_outline_iterator* iterator = pdf_new_outline_iterator(context, document);
    fz_try(context)
    {
        const int pages = pdf_count_pages(context, document);
        for (int page = 0; page < pages; page += every) {
            char title[64];
            fz_snprintf(title, sizeof title, "Chapter %d", page / every + 1);
            char* uri = pdf_format_link_uri(context, fz_make_link_dest_xyz(0, page, 0, 0, 0));
            fz_outline_item item = {title, uri, 1};
            fz_outline_iterator_insert(context, iterator, &item);
            fz_free(context, uri);
            if (page + 1 < pages) {
                fz_outline_iterator_prev(context, iterator);
                fz_outline_iterator_down(context, iterator);
                fz_snprintf(title, sizeof title, "Section %d.1", page / every + 1);
                uri = pdf_format_link_uri(context, fz_make_link_dest_xyz(0, page + 1, 0, 0, 0));
                fz_outline_item child = {title, uri, 0};
                fz_outline_iterator_insert(context, iterator, &child);
                fz_free(context, uri);
                fz_outline_iterator_up(context, iterator);
                fz_outline_iterator_next(context, iterator);
            }
        }
    }
    fz_always(context)
    {
        fz_drop_outline_iterator(context, iterator);
    }
    fz_catch(context)
    {
        fz_rethrow(context);
    }
}

void setEncryption(const PdfFactory::Options& options, pdf_write_options* write)
{
    const QByteArray user = options.userPassword.toUtf8();
    const QByteArray owner = options.ownerPassword.toUtf8();
    if (!user.isEmpty()) {
        write->do_encrypt = PDF_ENCRYPT_AES_256;
        fz_strlcpy(write->upwd_utf8, user.constData(), sizeof write->upwd_utf8);
        fz_strlcpy(write->opwd_utf8, user.constData(), sizeof write->opwd_utf8);
    } else if (!owner.isEmpty()) {
        // Revision 4, whose key also depends on the document's identifier.
        write->do_encrypt = PDF_ENCRYPT_AES_128;
        fz_strlcpy(write->opwd_utf8, owner.constData(), sizeof write->opwd_utf8);
        write->permissions = ~(PDF_PERM_PRINT | PDF_PERM_PRINT_HQ);
    }
}

bool needsExtras(const PdfFactory::Options& options)
{
    return options.bookmarkEvery > 0 || !options.userPassword.isEmpty() || !options.ownerPassword.isEmpty() ||
           options.layers || options.notes > 0;
}

bool addExtras(const QString& path, const PdfFactory::Options& options)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = path.toUtf8();
    pdf_document* document = nullptr;
    volatile bool ok = true;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        if (options.bookmarkEvery > 0)
            addOutline(context, document, options.bookmarkEvery);
        if (options.layers)
            addLayers(context, document);
        if (options.notes > 0)
            addNotes(context, document, options.notes);
        pdf_write_options write = pdf_default_write_options;
        write.do_garbage = 1;
        write.do_compress = 1;
        setEncryption(options, &write);
        pdf_save_document(context, document, (name + ".extras").constData(), &write);
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
    if (!ok)
        return false;
    QFile::remove(path);
    return QFile::rename(path + ".extras", path);
}

template <class Reader> bool withDocument(const QString& path, Reader reader)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = path.toUtf8();
    pdf_document* document = nullptr;
    volatile bool ok = true;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        if (pdf_needs_password(context, document))
            fz_throw(context, FZ_ERROR_GENERIC, "locked");
        reader(context, document);
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
    return ok;
}

void collectBookmarks(fz_outline* node, int depth, QStringList* lines)
{
    for (; node; node = node->next) {
        lines->append(QString(depth * 2, ' ') + QString::fromUtf8(node->title) + '@' +
                      QString::number(node->page.page + 1));
        collectBookmarks(node->down, depth + 1, lines);
    }
}
} // namespace

bool PdfFactory::write(const QString& path, const Options& options)
{
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(150);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (!options.title.isEmpty())
            writer.setTitle(options.title);
        writer.setCreator("Vornex tests");
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        const QRect page = painter.viewport();
        for (int i = 0; i < options.pages; ++i) {
            if (i > 0)
                writer.newPage();
            const QRect margin = page.adjusted(90, 90, -90, -90);
            switch (options.content) {
            case Content::Text:
                drawText(painter, margin, i, 55);
                break;
            case Content::Images: {
                const QImage picture =
                    photograph(options.imageWidth, options.imageWidth * 3 / 4, quint32(i + 1));
                painter.drawImage(QRect(margin.left(), margin.top(), margin.width(), margin.width() * 3 / 4),
                                  picture);
                painter.drawText(margin.left(), margin.bottom(), QString("Picture %1").arg(i + 1));
                break;
            }
            case Content::Mixed: {
                const QImage picture =
                    photograph(options.imageWidth, options.imageWidth * 3 / 4, quint32(i + 1));
                const QRect top(margin.left(), margin.top(), margin.width(), margin.height() / 2);
                painter.drawImage(QRect(top.left(), top.top(), top.height() * 4 / 3, top.height()), picture);
                drawText(painter, margin.adjusted(0, margin.height() / 2 + 20, 0, 0), i, 25);
                break;
            }
            }
        }
        painter.end();
    }
    if (needsExtras(options) && !addExtras(path, options))
        return false;
    if (!options.carried.isEmpty())
        return PdfCarriedFeatures::add(path, options.carried);
    return QFile::exists(path);
}

bool PdfFactory::writeBlank(const QString& path, const QList<QSizeF>& pageSizes)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = path.toUtf8();
    const int count = pageSizes.size();
    std::vector<fz_rect> boxes;
    for (const QSizeF& size : pageSizes)
        boxes.push_back(fz_make_rect(0, 0, float(size.width()), float(size.height())));
    pdf_document* document = nullptr;
    volatile bool ok = true;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_create_document(context);
        for (int i = 0; i < count; ++i) {
            pdf_obj* page = pdf_add_page(context, document, boxes[size_t(i)], 0, nullptr, nullptr);
            pdf_insert_page(context, document, -1, page);
            pdf_drop_obj(context, page);
        }
        pdf_save_document(context, document, name.constData(), &pdf_default_write_options);
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
    return ok;
}

int PdfFactory::pageCount(const QString& path)
{
    int pages = -1;
    if (!withDocument(path, [&](fz_context* context, pdf_document* document) {
            pages = pdf_count_pages(context, document);
        }))
        return -1;
    return pages;
}

QString PdfFactory::title(const QString& path)
{
    QString text;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        char buffer[256] = {0};
        if (fz_lookup_metadata(context, &document->super, FZ_META_INFO_TITLE, buffer, sizeof buffer) > 0)
            text = QString::fromUtf8(buffer);
    });
    return text;
}

QStringList PdfFactory::bookmarks(const QString& path)
{
    QStringList lines;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        fz_outline* outline = fz_load_outline(context, &document->super);
        collectBookmarks(outline, 0, &lines);
        fz_drop_outline(context, outline);
    });
    return lines;
}

QStringList PdfFactory::annotations(const QString& path)
{
    QStringList lines;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        const int pages = pdf_count_pages(context, document);
        for (int page = 0; page < pages; ++page) {
            pdf_obj* annotations =
                pdf_dict_get(context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Annots));
            for (int i = 0; i < pdf_array_len(context, annotations); ++i) {
                pdf_obj* annotation = pdf_array_get(context, annotations, i);
                QString line = QString("%1:%2").arg(page + 1).arg(
                    pdf_to_name(context, pdf_dict_get(context, annotation, PDF_NAME(Subtype))));
                pdf_obj* dest = pdf_dict_get(context, annotation, PDF_NAME(Dest));
                if (!dest)
                    dest = pdf_dict_getp(context, annotation, "A/D");
                if (pdf_is_array(context, dest))
                    line += QString("->%1").arg(
                        pdf_lookup_page_number(context, document, pdf_array_get(context, dest, 0)) + 1);
                lines.append(line);
            }
        }
    });
    return lines;
}

int PdfFactory::fontCount(const QString& path)
{
    int fonts = 0;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        const int count = pdf_xref_len(context, document);
        for (int number = 1; number < count; ++number) {
            pdf_obj* object = pdf_load_object(context, document, number);
            if (pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Type)), PDF_NAME(Font)))
                ++fonts;
            pdf_drop_obj(context, object);
        }
    });
    return fonts;
}

int PdfFactory::imageCount(const QString& path, int* jpegCount)
{
    int images = 0;
    int jpegs = 0;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        const int count = pdf_xref_len(context, document);
        for (int number = 1; number < count; ++number) {
            pdf_obj* object = pdf_load_object(context, document, number);
            if (pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Subtype)), PDF_NAME(Image))) {
                ++images;
                if (pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Filter)),
                                PDF_NAME(DCTDecode)))
                    ++jpegs;
            }
            pdf_drop_obj(context, object);
        }
    });
    if (jpegCount)
        *jpegCount = jpegs;
    return images;
}

namespace
{
QString numberText(float value)
{
    return std::isnan(value) ? QString("null") : QString::number(double(value), 'g', 6);
}

pdf_obj* findName(fz_context* context, pdf_obj* node, const QByteArray& name, int depth)
{
    pdf_obj* pairs = pdf_dict_get(context, node, PDF_NAME(Names));
    for (int i = 0; i + 1 < pdf_array_len(context, pairs); i += 2) {
        pdf_obj* key = pdf_array_get(context, pairs, i);
        if (QByteArray(pdf_to_str_buf(context, key), int(pdf_to_str_len(context, key))) == name)
            return pdf_array_get(context, pairs, i + 1);
    }
    pdf_obj* kids = pdf_dict_get(context, node, PDF_NAME(Kids));
    for (int i = 0; depth < 32 && i < pdf_array_len(context, kids); ++i) {
        if (pdf_obj* found = findName(context, pdf_array_get(context, kids, i), name, depth + 1))
            return found;
    }
    return nullptr;
}

// "page 12 XYZ 72 700 null" for a destination of document (a name, a string, a dictionary with /D
// or an array), or "none".
QString describeDestination(fz_context* context, pdf_document* document, pdf_obj* destination)
{
    pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
    if (pdf_is_name(context, destination))
        destination = pdf_dict_get(context, pdf_dict_get(context, root, PDF_NAME(Dests)), destination);
    else if (pdf_is_string(context, destination))
        destination = findName(
            context, pdf_dict_getp(context, root, "Names/Dests"),
            QByteArray(pdf_to_str_buf(context, destination), int(pdf_to_str_len(context, destination))), 0);
    if (pdf_is_dict(context, destination))
        destination = pdf_dict_get(context, destination, PDF_NAME(D));
    if (!pdf_is_array(context, destination))
        return "none";
    const int page = pdf_lookup_page_number(context, document, pdf_array_get(context, destination, 0));
    if (page < 0)
        return "none";
    QString text =
        QString("page %1 %2").arg(page + 1).arg(pdf_to_name(context, pdf_array_get(context, destination, 1)));
    for (int i = 2; i < pdf_array_len(context, destination); ++i) {
        pdf_obj* value = pdf_array_get(context, destination, i);
        text += ' ' + numberText(pdf_is_number(context, value) ? pdf_to_real(context, value) : NAN);
    }
    return text;
}

// The target of a link annotation or a bookmark dictionary.
QString describeTarget(fz_context* context, pdf_document* document, pdf_obj* holder)
{
    pdf_obj* destination = pdf_dict_get(context, holder, PDF_NAME(Dest));
    if (destination)
        return describeDestination(context, document, destination);
    pdf_obj* action = pdf_dict_get(context, holder, PDF_NAME(A));
    pdf_obj* kind = pdf_dict_get(context, action, PDF_NAME(S));
    if (pdf_name_eq(context, kind, PDF_NAME(GoTo)))
        return describeDestination(context, document, pdf_dict_get(context, action, PDF_NAME(D)));
    if (pdf_name_eq(context, kind, PDF_NAME(URI)))
        return QString("URI ") + pdf_dict_get_text_string(context, action, PDF_NAME(URI));
    return "none";
}

void collectOutline(fz_context* context, pdf_document* document, pdf_obj* node, int depth, QStringList* lines)
{
    for (int guard = 0; node && guard < 10000; ++guard, node = pdf_dict_get(context, node, PDF_NAME(Next))) {
        QString line = QString(depth * 2, ' ') + pdf_dict_get_text_string(context, node, PDF_NAME(Title));
        pdf_obj* first = pdf_dict_get(context, node, PDF_NAME(First));
        if (first)
            line += pdf_dict_get_int(context, node, PDF_NAME(Count)) > 0 ? " +" : " -";
        lines->append(line + " -> " + describeTarget(context, document, node));
        if (depth < 32)
            collectOutline(context, document, first, depth + 1, lines);
    }
}

void collectNames(fz_context* context, pdf_document* document, pdf_obj* node, int depth, QStringList* lines)
{
    pdf_obj* pairs = pdf_dict_get(context, node, PDF_NAME(Names));
    for (int i = 0; i + 1 < pdf_array_len(context, pairs); i += 2) {
        pdf_obj* key = pdf_array_get(context, pairs, i);
        lines->append(QString::fromLatin1(pdf_to_str_buf(context, key), int(pdf_to_str_len(context, key))) +
                      " -> " + describeDestination(context, document, pdf_array_get(context, pairs, i + 1)));
    }
    pdf_obj* kids = pdf_dict_get(context, node, PDF_NAME(Kids));
    for (int i = 0; depth < 32 && i < pdf_array_len(context, kids); ++i)
        collectNames(context, document, pdf_array_get(context, kids, i), depth + 1, lines);
}

void collectLabelRanges(fz_context* context, pdf_obj* node, int depth, QMap<int, pdf_obj*>* ranges)
{
    pdf_obj* numbers = pdf_dict_get(context, node, PDF_NAME(Nums));
    for (int i = 0; i + 1 < pdf_array_len(context, numbers); i += 2)
        ranges->insert(pdf_array_get_int(context, numbers, i), pdf_array_get(context, numbers, i + 1));
    pdf_obj* kids = pdf_dict_get(context, node, PDF_NAME(Kids));
    for (int i = 0; depth < 32 && i < pdf_array_len(context, kids); ++i)
        collectLabelRanges(context, pdf_array_get(context, kids, i), depth + 1, ranges);
}

QString roman(int number)
{
    static const int values[] = {1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1};
    static const char* const digits[] = {"M",  "CM", "D",  "CD", "C",  "XC", "L",
                                         "XL", "X",  "IX", "V",  "IV", "I"};
    QString text;
    for (int i = 0; i < 13; ++i) {
        while (number >= values[i]) {
            text += digits[i];
            number -= values[i];
        }
    }
    return text;
}

QString labelText(const QString& style, const QString& prefix, int number)
{
    if (style == "D")
        return prefix + QString::number(number);
    if (style == "R")
        return prefix + roman(number);
    if (style == "r")
        return prefix + roman(number).toLower();
    if (style == "A" || style == "a") {
        const QChar letter = QChar('A' + (number - 1) % 26);
        const QString text = QString((number - 1) / 26 + 1, letter);
        return prefix + (style == "a" ? text.toLower() : text);
    }
    return prefix;
}

// A destination array [page kind parameters...] for document.
pdf_obj* destinationArray(fz_context* context, pdf_document* document, int page, const char* kind,
                          std::initializer_list<float> parameters)
{
    pdf_obj* array = pdf_new_array(context, document, 6);
    pdf_array_push(context, array, pdf_lookup_page_obj(context, document, page));
    pdf_array_push_name(context, array, kind);
    for (float value : parameters) {
        if (std::isnan(value))
            pdf_array_push(context, array, PDF_NULL);
        else
            pdf_array_push_real(context, array, value);
    }
    return array;
}

pdf_obj* outlineItem(fz_context* context, pdf_document* document, pdf_obj* parent, const char* title)
{
    pdf_obj* item = pdf_add_new_dict(context, document, 6);
    pdf_dict_put_text_string(context, item, PDF_NAME(Title), title);
    pdf_dict_put(context, item, PDF_NAME(Parent), parent);
    return item;
}

// Links the items (which it drops) as the children of parent; count is parent's /Count.
void linkChildren(fz_context* context, pdf_obj* parent, pdf_obj** items, int n, int count)
{
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            pdf_dict_put(context, items[i], PDF_NAME(Prev), items[i - 1]);
        if (i + 1 < n)
            pdf_dict_put(context, items[i], PDF_NAME(Next), items[i + 1]);
    }
    pdf_dict_put(context, parent, PDF_NAME(First), items[0]);
    pdf_dict_put(context, parent, PDF_NAME(Last), items[n - 1]);
    pdf_dict_put_int(context, parent, PDF_NAME(Count), count);
    for (int i = 0; i < n; ++i)
        pdf_drop_obj(context, items[i]);
}

void addOutline(fz_context* context, pdf_document* document, int pages, int chapterPages)
{
    pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
    pdf_obj* outlines = pdf_add_new_dict(context, document, 4);
    pdf_dict_put(context, root, PDF_NAME(Outlines), outlines);
    std::vector<pdf_obj*> chapters;
    int visible = 0;
    char title[64];
    for (int start = 0, number = 1; start < pages; start += chapterPages, ++number) {
        fz_snprintf(title, sizeof title, "Chapter %d: pages from %d", number, start + 1);
        pdf_obj* chapter = outlineItem(context, document, outlines, title);
        pdf_dict_put_drop(context, chapter, PDF_NAME(Dest),
                          destinationArray(context, document, start, "XYZ", {36, 800, NAN}));
        const bool open = number % 2 == 1;
        std::vector<pdf_obj*> sections;
        int chapterVisible = 0;
        for (int offset = 1, section = 1; offset < chapterPages && start + offset < pages;
             offset += 3, ++section) {
            fz_snprintf(title, sizeof title, "Section %d.%d", number, section);
            pdf_obj* item = outlineItem(context, document, chapter, title);
            pdf_dict_put_drop(context, item, PDF_NAME(Dest),
                              destinationArray(context, document, start + offset,
                                               section % 2 ? "FitH" : "Fit",
                                               section % 2 ? std::initializer_list<float>{500}
                                                           : std::initializer_list<float>{}));
            int sectionVisible = 0;
            if (start + offset + 1 < pages) {
                fz_snprintf(title, sizeof title, "Subsection %d.%d.1", number, section);
                pdf_obj* sub = outlineItem(context, document, item, title);
                pdf_obj* action = pdf_dict_put_dict(context, sub, PDF_NAME(A), 2);
                pdf_dict_put(context, action, PDF_NAME(S), PDF_NAME(GoTo));
                fz_snprintf(title, sizeof title, "page.%d", start + offset + 2);
                pdf_dict_put_text_string(context, action, PDF_NAME(D), title);
                linkChildren(context, item, &sub, 1, section % 2 ? 1 : -1);
                sectionVisible = section % 2 ? 1 : 0;
            }
            sections.push_back(item);
            chapterVisible += 1 + sectionVisible;
        }
        if (!sections.empty())
            linkChildren(context, chapter, sections.data(), int(sections.size()),
                         open ? chapterVisible : -chapterVisible);
        chapters.push_back(chapter);
        visible += 1 + (open && !sections.empty() ? chapterVisible : 0);
    }
    pdf_obj* web = outlineItem(context, document, outlines, "Project home");
    pdf_obj* action = pdf_dict_put_dict(context, web, PDF_NAME(A), 2);
    pdf_dict_put(context, action, PDF_NAME(S), PDF_NAME(URI));
    pdf_dict_put_string(context, action, PDF_NAME(URI), "https://example.org/", 20);
    chapters.push_back(web);
    linkChildren(context, outlines, chapters.data(), int(chapters.size()), visible + 1);
    pdf_drop_obj(context, outlines);
}

void addNamedDestinations(fz_context* context, pdf_document* document, int pages)
{
    pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
    // "page.N" in a name tree of two leaves (sorted as text: page.1, page.10, page.11, ..., page.2, ...).
    QStringList names;
    for (int page = 1; page <= pages; ++page)
        names << QString("page.%1").arg(page);
    names.sort();
    pdf_obj* tree =
        pdf_dict_put_dict(context, pdf_dict_put_dict(context, root, PDF_NAME(Names), 1), PDF_NAME(Dests), 1);
    pdf_obj* kids = pdf_dict_put_array(context, tree, PDF_NAME(Kids), 2);
    const int half = names.size() / 2;
    for (int leaf = 0; leaf < 2; ++leaf) {
        const int from = leaf == 0 ? 0 : half;
        const int to = leaf == 0 ? half : names.size();
        pdf_obj* node = pdf_add_new_dict(context, document, 2);
        pdf_array_push(context, kids, node);
        pdf_obj* limits = pdf_dict_put_array(context, node, PDF_NAME(Limits), 2);
        pdf_obj* pairs = pdf_dict_put_array(context, node, PDF_NAME(Names), 2 * (to - from));
        for (int i = from; i < to; ++i) {
            const QByteArray name = names[i].toLatin1();
            pdf_array_push_string(context, pairs, name.constData(), size_t(name.size()));
            const int page = name.mid(5).toInt() - 1;
            pdf_obj* holder = pdf_new_dict(context, document, 1);
            pdf_dict_put_drop(context, holder, PDF_NAME(D),
                              destinationArray(context, document, page, "XYZ", {0, 842, 0}));
            pdf_array_push_drop(context, pairs, pdf_add_object_drop(context, document, holder));
        }
        const QByteArray low = names[from].toLatin1();
        const QByteArray high = names[to - 1].toLatin1();
        pdf_array_push_string(context, limits, low.constData(), size_t(low.size()));
        pdf_array_push_string(context, limits, high.constData(), size_t(high.size()));
        pdf_drop_obj(context, node);
    }
    // The old form, a dictionary of names.
    pdf_obj* old = pdf_dict_put_dict(context, root, PDF_NAME(Dests), 2);
    pdf_dict_puts_drop(context, old, "back", destinationArray(context, document, pages - 1, "Fit", {}));
    pdf_dict_puts_drop(context, old, "front",
                       destinationArray(context, document, 0, "FitR", {10, 20, 300, 400}));
}

pdf_obj* addLink(fz_context* context, pdf_document* document, pdf_obj* annotations, float y)
{
    pdf_obj* link = pdf_add_new_dict(context, document, 5);
    pdf_dict_put(context, link, PDF_NAME(Type), PDF_NAME(Annot));
    pdf_dict_put(context, link, PDF_NAME(Subtype), PDF_NAME(Link));
    pdf_dict_put_rect(context, link, PDF_NAME(Rect), fz_make_rect(72, y, 300, y + 14));
    pdf_array_push(context, annotations, link);
    return link;
}

void addLinks(fz_context* context, pdf_document* document, int pages)
{
    for (int page = 0; page < pages; ++page) {
        pdf_obj* pageObject = pdf_lookup_page_obj(context, document, page);
        pdf_obj* annotations = pdf_dict_put_array(context, pageObject, PDF_NAME(Annots), 4);
        // To a far page by its object, to a far page by name (string), to a name of the old
        // dictionary, and to the web.
        pdf_obj* link = addLink(context, document, annotations, 40);
        pdf_dict_put_drop(
            context, link, PDF_NAME(Dest),
            destinationArray(context, document, (page * 7 + 11) % pages, "XYZ", {72, 600, 1.5f}));
        pdf_drop_obj(context, link);
        link = addLink(context, document, annotations, 60);
        pdf_obj* action = pdf_dict_put_dict(context, link, PDF_NAME(A), 2);
        pdf_dict_put(context, action, PDF_NAME(S), PDF_NAME(GoTo));
        char name[32];
        fz_snprintf(name, sizeof name, "page.%d", (pages - page - 1) % pages + 1);
        pdf_dict_put_text_string(context, action, PDF_NAME(D), name);
        pdf_drop_obj(context, link);
        link = addLink(context, document, annotations, 80);
        pdf_dict_put_name(context, link, PDF_NAME(Dest), page % 2 ? "front" : "back");
        pdf_drop_obj(context, link);
        link = addLink(context, document, annotations, 100);
        action = pdf_dict_put_dict(context, link, PDF_NAME(A), 2);
        pdf_dict_put(context, action, PDF_NAME(S), PDF_NAME(URI));
        pdf_dict_put_string(context, action, PDF_NAME(URI), "https://example.org/", 20);
        pdf_drop_obj(context, link);
    }
}

void addLabelsAndMetadata(fz_context* context, pdf_document* document, int pages)
{
    pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
    pdf_obj* labels = pdf_new_dict(context, document, 1);
    pdf_dict_puts_drop(context, root, "PageLabels", labels);
    pdf_obj* numbers = pdf_dict_put_array(context, labels, PDF_NAME(Nums), 6);
    pdf_array_push_int(context, numbers, 0);
    pdf_obj* label = pdf_new_dict(context, document, 1);
    pdf_dict_put_name(context, label, PDF_NAME(S), "r");
    pdf_array_push_drop(context, numbers, label);
    pdf_array_push_int(context, numbers, 3);
    label = pdf_new_dict(context, document, 1);
    pdf_dict_put_name(context, label, PDF_NAME(S), "D");
    pdf_array_push_drop(context, numbers, label);
    pdf_array_push_int(context, numbers, pages - 4);
    label = pdf_new_dict(context, document, 3);
    pdf_dict_put_name(context, label, PDF_NAME(S), "D");
    pdf_dict_put_text_string(context, label, PDF_NAME(P), "A-");
    pdf_dict_puts_drop(context, label, "St", pdf_new_int(context, 1));
    pdf_array_push_drop(context, numbers, label);

    pdf_obj* info = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Info));
    if (!info) {
        info = pdf_add_new_dict(context, document, 4);
        pdf_dict_put_drop(context, pdf_trailer(context, document), PDF_NAME(Info), info);
    }
    pdf_dict_put_text_string(context, info, PDF_NAME(Author), "Vornex tests");
    pdf_dict_put_text_string(context, info, PDF_NAME(Subject), "A manual in miniature");
    pdf_dict_put_text_string(context, info, PDF_NAME(Keywords), "outline, links, labels");
    static const char xmp[] =
        "<?xpacket begin=\"\xef\xbb\xbf\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
        "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title><rdf:Alt>"
        "<rdf:li xml:lang=\"x-default\">A manual in miniature</rdf:li></rdf:Alt></dc:title></rdf:Description>"
        "</rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";
    fz_buffer* buffer =
        fz_new_buffer_from_copied_data(context, reinterpret_cast<const unsigned char*>(xmp), sizeof xmp - 1);
    pdf_obj* metadata = pdf_add_stream(context, document, buffer, nullptr, 0);
    fz_drop_buffer(context, buffer);
    pdf_dict_put(context, metadata, PDF_NAME(Type), PDF_NAME(Metadata));
    pdf_dict_put(context, metadata, PDF_NAME(Subtype), PDF_NAME(XML));
    pdf_dict_put_drop(context, root, PDF_NAME(Metadata), metadata);
    pdf_dict_puts_drop(context, root, "OpenAction", destinationArray(context, document, 1, "Fit", {}));
}
} // namespace

bool PdfFactory::addStructure(const QString& path, int chapterPages)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = path.toUtf8();
    const QByteArray written = name + ".structured";
    pdf_document* document = nullptr;
    volatile bool ok = true;
    fz_var(document);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        const int pages = pdf_count_pages(context, document);
        addOutline(context, document, pages, chapterPages);
        addNamedDestinations(context, document, pages);
        addLinks(context, document, pages);
        addLabelsAndMetadata(context, document, pages);
        pdf_write_options options = pdf_default_write_options;
        options.do_garbage = 1;
        options.do_compress = 1;
        pdf_save_document(context, document, written.constData(), &options);
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
    if (!ok)
        return false;
    QFile::remove(path);
    return QFile::rename(QString::fromUtf8(written), path);
}

bool PdfFactory::writeManual(const QString& path, int pages, int chapterPages)
{
    Options options;
    options.pages = pages;
    options.content = Content::Mixed;
    options.imageWidth = 400;
    options.title = "Manual";
    const QString plain = path + ".plain.pdf";
    const bool ok = write(plain, options) && addStructure(plain, chapterPages) &&
                    TestEnv::runTool("qpdf", {"--object-streams=generate", plain, path}) == 0;
    QFile::remove(plain);
    return ok;
}

QStringList PdfFactory::outlineTree(const QString& path)
{
    QStringList lines;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        collectOutline(context, document,
                       pdf_dict_getp(context, pdf_trailer(context, document), "Root/Outlines/First"), 0,
                       &lines);
    });
    return lines;
}

QStringList PdfFactory::linkTargets(const QString& path)
{
    QStringList lines;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        const int pages = pdf_count_pages(context, document);
        for (int page = 0; page < pages; ++page) {
            pdf_obj* annotations =
                pdf_dict_get(context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Annots));
            for (int i = 0; i < pdf_array_len(context, annotations); ++i) {
                pdf_obj* annotation = pdf_array_get(context, annotations, i);
                if (pdf_name_eq(context, pdf_dict_get(context, annotation, PDF_NAME(Subtype)),
                                PDF_NAME(Link)))
                    lines.append(
                        QString("%1: %2").arg(page + 1).arg(describeTarget(context, document, annotation)));
            }
        }
    });
    return lines;
}

QStringList PdfFactory::namedDestinations(const QString& path)
{
    QStringList lines;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        pdf_obj* root = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Root));
        pdf_obj* old = pdf_dict_get(context, root, PDF_NAME(Dests));
        for (int i = 0; i < pdf_dict_len(context, old); ++i)
            lines.append(QString::fromLatin1(pdf_to_name(context, pdf_dict_get_key(context, old, i))) +
                         " -> " + describeDestination(context, document, pdf_dict_get_val(context, old, i)));
        collectNames(context, document, pdf_dict_getp(context, root, "Names/Dests"), 0, &lines);
    });
    lines.sort();
    return lines;
}

QStringList PdfFactory::pageLabels(const QString& path)
{
    QStringList labels;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        QMap<int, pdf_obj*> ranges;
        collectLabelRanges(context, pdf_dict_getp(context, pdf_trailer(context, document), "Root/PageLabels"),
                           0, &ranges);
        const int pages = pdf_count_pages(context, document);
        for (int page = 0; page < pages; ++page) {
            auto range = ranges.upperBound(page);
            if (range == ranges.begin()) {
                labels.append(QString::number(page + 1));
                continue;
            }
            --range;
            pdf_obj* label = range.value();
            pdf_obj* first = pdf_dict_gets(context, label, "St");
            const int number =
                (pdf_is_int(context, first) ? pdf_to_int(context, first) : 1) + page - range.key();
            labels.append(labelText(
                QString::fromLatin1(pdf_to_name(context, pdf_dict_get(context, label, PDF_NAME(S)))),
                QString::fromUtf8(pdf_dict_get_text_string(context, label, PDF_NAME(P))), number));
        }
    });
    return labels;
}

QStringList PdfFactory::documentInfo(const QString& path)
{
    QStringList lines;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        pdf_obj* info = pdf_dict_get(context, pdf_trailer(context, document), PDF_NAME(Info));
        for (int i = 0; i < pdf_dict_len(context, info); ++i)
            lines.append(QString::fromLatin1(pdf_to_name(context, pdf_dict_get_key(context, info, i))) + '=' +
                         QString::fromUtf8(pdf_to_text_string(context, pdf_dict_get_val(context, info, i))));
    });
    lines.sort();
    return lines;
}

QByteArray PdfFactory::xmpMetadata(const QString& path)
{
    QByteArray bytes;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        pdf_obj* metadata = pdf_dict_getp(context, pdf_trailer(context, document), "Root/Metadata");
        if (!pdf_is_stream(context, metadata))
            return;
        fz_buffer* buffer = pdf_load_stream(context, metadata);
        unsigned char* data = nullptr;
        const size_t size = fz_buffer_storage(context, buffer, &data);
        bytes = QByteArray(reinterpret_cast<const char*>(data), int(size));
        fz_drop_buffer(context, buffer);
    });
    return bytes;
}

QString PdfFactory::openView(const QString& path)
{
    QString text;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        pdf_obj* open = pdf_dict_getp(context, pdf_trailer(context, document), "Root/OpenAction");
        if (open)
            text = describeDestination(context, document, open);
    });
    return text;
}

QStringList PdfFactory::pageTexts(const QString& path)
{
    QStringList texts;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        const int pages = pdf_count_pages(context, document);
        for (int page = 0; page < pages; ++page) {
            fz_buffer* buffer = fz_new_buffer_from_page_number(context, &document->super, page, nullptr);
            unsigned char* data = nullptr;
            const size_t size = fz_buffer_storage(context, buffer, &data);
            texts.append(QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)));
            fz_drop_buffer(context, buffer);
        }
    });
    return texts;
}

int PdfFactory::objectsInStreams(const QString& path)
{
    int count = 0;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        const int length = pdf_xref_len(context, document);
        for (int number = 1; number < length; ++number) {
            pdf_xref_entry* entry = pdf_get_xref_entry(context, document, number);
            if (entry && entry->type == 'o')
                ++count;
        }
    });
    return count;
}

namespace
{
bool sameObject(fz_context* context, pdf_obj* a, pdf_obj* b)
{
    return pdf_is_indirect(context, a) && pdf_is_indirect(context, b) &&
           pdf_to_num(context, a) == pdf_to_num(context, b);
}

bool holdsObject(fz_context* context, pdf_obj* array, pdf_obj* object)
{
    for (int i = 0; i < pdf_array_len(context, array); ++i) {
        if (sameObject(context, pdf_array_get(context, array, i), object))
            return true;
    }
    return false;
}

// The names in a layer order (nested arrays flattened, their labels left out).
void collectOrder(fz_context* context, pdf_obj* order, int depth, QStringList* names)
{
    for (int i = 0; depth < 32 && i < pdf_array_len(context, order); ++i) {
        pdf_obj* item = pdf_array_get(context, order, i);
        if (pdf_is_array(context, item))
            collectOrder(context, item, depth + 1, names);
        else if (pdf_is_dict(context, item))
            names->append(QString::fromUtf8(pdf_dict_get_text_string(context, item, PDF_NAME(Name))));
    }
}
} // namespace

QStringList PdfFactory::layers(const QString& path)
{
    QStringList lines;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        pdf_obj* properties = pdf_dict_getp(context, pdf_trailer(context, document), "Root/OCProperties");
        pdf_obj* all = pdf_dict_get(context, properties, PDF_NAME(OCGs));
        pdf_obj* view = pdf_dict_get(context, properties, PDF_NAME(D));
        const bool baseOff =
            pdf_name_eq(context, pdf_dict_get(context, view, PDF_NAME(BaseState)), PDF_NAME(OFF));
        const int pages = pdf_count_pages(context, document);
        for (int i = 0; i < pdf_array_len(context, all); ++i) {
            pdf_obj* layer = pdf_array_get(context, all, i);
            const bool off = baseOff
                                 ? !holdsObject(context, pdf_dict_get(context, view, PDF_NAME(ON)), layer)
                                 : holdsObject(context, pdf_dict_get(context, view, PDF_NAME(OFF)), layer);
            QString line = QString::fromUtf8(pdf_dict_get_text_string(context, layer, PDF_NAME(Name))) +
                           (off ? " off:" : " on:");
            for (int page = 0; page < pages; ++page) {
                pdf_obj* resources = pdf_dict_get_inheritable(
                    context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Resources));
                pdf_obj* used = pdf_dict_get(context, resources, PDF_NAME(Properties));
                for (int k = 0; k < pdf_dict_len(context, used); ++k) {
                    if (sameObject(context, pdf_dict_get_val(context, used, k), layer)) {
                        line += ' ' + QString::number(page + 1);
                        break;
                    }
                }
            }
            lines.append(line);
        }
        QStringList order;
        collectOrder(context, pdf_dict_get(context, view, PDF_NAME(Order)), 0, &order);
        if (view)
            lines.append(QString("view %1: %2")
                             .arg(QString::fromUtf8(pdf_dict_get_text_string(context, view, PDF_NAME(Name))),
                                  order.join(' ')));
    });
    return lines;
}

PdfFactory::Options PdfFactory::carrying(const QString& feature)
{
    Options options;
    options.pages = 12;
    options.content = Content::Mixed;
    options.imageWidth = 400;
    options.layers = feature == "layers";
    options.notes = feature == "notes" ? 12 : 0;
    options.ownerPassword = feature == "owner" ? "owner" : "";
    if (!options.layers && options.notes == 0 && options.ownerPassword.isEmpty())
        options.carried = feature;
    return options;
}

int PdfFactory::notesWithPopups(const QString& path)
{
    int count = 0;
    withDocument(path, [&](fz_context* context, pdf_document* document) {
        const int pages = pdf_count_pages(context, document);
        for (int page = 0; page < pages; ++page) {
            pdf_obj* annotations =
                pdf_dict_get(context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Annots));
            for (int i = 0; i < pdf_array_len(context, annotations); ++i) {
                pdf_obj* note = pdf_array_get(context, annotations, i);
                pdf_obj* popup = pdf_dict_get(context, note, PDF_NAME(Popup));
                if (pdf_name_eq(context, pdf_dict_get(context, note, PDF_NAME(Subtype)), PDF_NAME(Text)) &&
                    pdf_name_eq(context, pdf_dict_get(context, popup, PDF_NAME(Subtype)), PDF_NAME(Popup)) &&
                    sameObject(context, pdf_dict_get(context, popup, PDF_NAME(Parent)), note) &&
                    holdsObject(context, annotations, popup))
                    ++count;
            }
        }
    });
    return count;
}
