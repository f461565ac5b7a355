#include "PdfFactory.h"

#include <vector>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>

namespace {
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

const char* const kWords[] = {"compress", "document", "page",  "range",  "merge",   "quality", "picture",
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

bool addOutlineAndLock(const QString& path, const PdfFactory::Options& options)
{
    fz_context* context = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!context)
        return false;
    const QByteArray name = path.toUtf8();
    const QByteArray password = options.userPassword.toUtf8();
    pdf_document* document = nullptr;
    fz_outline_iterator* iterator = nullptr;
    volatile bool ok = true;
    fz_var(document);
    fz_var(iterator);
    fz_try(context)
    {
        document = pdf_open_document(context, name.constData());
        if (options.bookmarkEvery > 0) {
            iterator = pdf_new_outline_iterator(context, document);
            const int pages = pdf_count_pages(context, document);
            for (int page = 0; page < pages; page += options.bookmarkEvery) {
                char title[64];
                fz_snprintf(title, sizeof title, "Chapter %d", page / options.bookmarkEvery + 1);
                char* uri = pdf_format_link_uri(context, fz_make_link_dest_xyz(0, page, 0, 0, 0));
                fz_outline_item item = {title, uri, 1};
                fz_outline_iterator_insert(context, iterator, &item);
                fz_free(context, uri);
                if (page + 1 < pages) {
                    fz_outline_iterator_prev(context, iterator);
                    fz_outline_iterator_down(context, iterator);
                    fz_snprintf(title, sizeof title, "Section %d.1", page / options.bookmarkEvery + 1);
                    uri = pdf_format_link_uri(context, fz_make_link_dest_xyz(0, page + 1, 0, 0, 0));
                    fz_outline_item child = {title, uri, 0};
                    fz_outline_iterator_insert(context, iterator, &child);
                    fz_free(context, uri);
                    fz_outline_iterator_up(context, iterator);
                    fz_outline_iterator_next(context, iterator);
                }
            }
        }
        pdf_write_options write = pdf_default_write_options;
        write.do_garbage = 1;
        write.do_compress = 1;
        if (!password.isEmpty()) {
            write.do_encrypt = PDF_ENCRYPT_AES_256;
            fz_strlcpy(write.upwd_utf8, password.constData(), sizeof write.upwd_utf8);
            fz_strlcpy(write.opwd_utf8, password.constData(), sizeof write.opwd_utf8);
        }
        pdf_save_document(context, document, (name + ".locked").constData(), &write);
    }
    fz_always(context)
    {
        fz_drop_outline_iterator(context, iterator);
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
    return QFile::rename(path + ".locked", path);
}

template <class Reader>
bool withDocument(const QString& path, Reader reader)
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
        lines->append(QString(depth * 2, ' ') + QString::fromUtf8(node->title) + '@'
                      + QString::number(node->page.page + 1));
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
                const QImage picture = photograph(options.imageWidth, options.imageWidth * 3 / 4, quint32(i + 1));
                painter.drawImage(QRect(margin.left(), margin.top(), margin.width(), margin.width() * 3 / 4), picture);
                painter.drawText(margin.left(), margin.bottom(), QString("Picture %1").arg(i + 1));
                break;
            }
            case Content::Mixed: {
                const QImage picture = photograph(options.imageWidth, options.imageWidth * 3 / 4, quint32(i + 1));
                const QRect top(margin.left(), margin.top(), margin.width(), margin.height() / 2);
                painter.drawImage(QRect(top.left(), top.top(), top.height() * 4 / 3, top.height()), picture);
                drawText(painter, margin.adjusted(0, margin.height() / 2 + 20, 0, 0), i, 25);
                break;
            }
            }
        }
        painter.end();
    }
    if (options.bookmarkEvery > 0 || !options.userPassword.isEmpty())
        return addOutlineAndLock(path, options);
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
            pdf_obj* annotations = pdf_dict_get(context, pdf_lookup_page_obj(context, document, page), PDF_NAME(Annots));
            for (int i = 0; i < pdf_array_len(context, annotations); ++i) {
                pdf_obj* annotation = pdf_array_get(context, annotations, i);
                QString line = QString("%1:%2").arg(page + 1).arg(
                    pdf_to_name(context, pdf_dict_get(context, annotation, PDF_NAME(Subtype))));
                pdf_obj* dest = pdf_dict_get(context, annotation, PDF_NAME(Dest));
                if (!dest)
                    dest = pdf_dict_getp(context, annotation, "A/D");
                if (pdf_is_array(context, dest))
                    line += QString("->%1").arg(pdf_lookup_page_number(context, document, pdf_array_get(context, dest, 0)) + 1);
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
                if (pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Filter)), PDF_NAME(DCTDecode)))
                    ++jpegs;
            }
            pdf_drop_obj(context, object);
        }
    });
    if (jpegCount)
        *jpegCount = jpegs;
    return images;
}
