#include "PdfImageRecompressor.h"

#include <set>

#include <QImage>

#include "JpegCodec.h"

namespace
{
// The lossless images that JPEG would spoil: stencil masks, soft masks and bilevel pictures.
bool isEligible(fz_context* context, pdf_obj* image, const std::set<int>& softMasks)
{
    if (!pdf_name_eq(context, pdf_dict_get(context, image, PDF_NAME(Subtype)), PDF_NAME(Image)))
        return false;
    if (pdf_dict_get_bool(context, image, PDF_NAME(ImageMask)))
        return false;
    if (pdf_dict_get_int(context, image, PDF_NAME(BitsPerComponent)) == 1)
        return false;
    if (pdf_is_array(context, pdf_dict_get(context, image, PDF_NAME(Mask))))
        return false;
    if (softMasks.count(pdf_to_num(context, image)))
        return false;
    return true;
}
} // namespace

PdfImageRecompressor::PdfImageRecompressor(MuPdfSession& session, int quality)
    : m_session(session)
    , m_quality(qBound(1, quality, 100))
{
}

int PdfImageRecompressor::jpegQualityFor(int quality)
{
    return 20 + qBound(1, quality, 100) * 3 / 4;
}

int PdfImageRecompressor::longestSideFor(int quality)
{
    return 600 + qBound(1, quality, 100) * 24;
}

int PdfImageRecompressor::run(pdf_document* document)
{
    fz_context* context = m_session.context();
    int objectCount = 0;
    m_session.run([&] { objectCount = pdf_xref_len(context, document); });

    // Soft masks are found first: they are images too, but they hold transparency, not pictures.
    std::set<int> softMasks;
    std::set<int> candidates;
    for (int number = 1; number < objectCount; ++number) {
        int softMask = 0;
        bool candidate = false;
        try {
            m_session.run([&] {
                pdf_obj* object = pdf_new_indirect(context, document, number, 0);
                fz_try(context)
                {
                    if (pdf_is_stream(context, object) &&
                        pdf_name_eq(context, pdf_dict_get(context, object, PDF_NAME(Subtype)),
                                    PDF_NAME(Image))) {
                        candidate = true;
                        softMask = pdf_to_num(context, pdf_dict_get(context, object, PDF_NAME(SMask)));
                    }
                }
                fz_always(context)
                {
                    pdf_drop_obj(context, object);
                }
                fz_catch(context)
                {
                    fz_rethrow(context);
                }
            });
        } catch (const std::exception&) {
            continue; // a broken object is left as it is
        }
        if (candidate)
            candidates.insert(number);
        if (softMask > 0)
            softMasks.insert(softMask);
    }

    int replaced = 0;
    for (int number : candidates) {
        bool eligible = false;
        try {
            m_session.run([&] {
                pdf_obj* object = pdf_new_indirect(context, document, number, 0);
                fz_try(context)
                {
                    eligible = isEligible(context, object, softMasks);
                }
                fz_always(context)
                {
                    pdf_drop_obj(context, object);
                }
                fz_catch(context)
                {
                    fz_rethrow(context);
                }
            });
            if (eligible && recompress(document, number))
                ++replaced;
        } catch (const std::exception&) {
            // An image MuPDF cannot decode keeps its old coding.
        }
    }
    return replaced;
}

bool PdfImageRecompressor::recompress(pdf_document* document, int number)
{
    fz_context* context = m_session.context();
    pdf_obj* object = nullptr;
    fz_image* image = nullptr;
    fz_pixmap* decoded = nullptr;
    fz_pixmap* converted = nullptr;
    int oldSize = 0;
    bool gray = false;

    // Decode to 8-bit grey or RGB, whatever the stored colour space and coding. The decoder is
    // asked for the target size, so JPEG pictures are decoded at a reduced scale where possible.
    const int longest = longestSideFor(m_quality);
    auto release = [&] {
        fz_drop_pixmap(context, converted);
        fz_drop_pixmap(context, decoded);
        fz_drop_image(context, image);
        pdf_drop_obj(context, object);
        converted = nullptr;
        decoded = nullptr;
        image = nullptr;
        object = nullptr;
    };
    try {
        m_session.run([&] {
            object = pdf_new_indirect(context, document, number, 0);
            oldSize = pdf_dict_get_int(context, object, PDF_NAME(Length));
            image = pdf_load_image(context, document, object);
            // Every picture is decoded once: a cached copy of it (and of its decoded pixels, which
            // the cache keeps for as long as it holds the image) would only take fresh memory for
            // the next one. Without this entry the pixels go when the image is dropped below.
            pdf_remove_item(context, fz_drop_image_imp, object);
            // Asking for three quarters of the target lets the decoder halve a picture that is up to
            // 2.6 times too large; the result then needs no second scaling when it fits already.
            float scale = 0.75f * float(longest) / float(image->w > image->h ? image->w : image->h);
            if (scale > 1.0f)
                scale = 1.0f;
            fz_matrix ctm = fz_scale(image->w * scale, image->h * scale);
            int width = 0;
            int height = 0;
            decoded = fz_get_pixmap_from_image(context, image, nullptr, &ctm, &width, &height);
            fz_colorspace* space = fz_pixmap_colorspace(context, decoded);
            const int alpha = fz_pixmap_alpha(context, decoded);
            gray = space && fz_colorspace_is_gray(context, space) && !alpha;
            const bool rgb = space && fz_colorspace_is_rgb(context, space) && !alpha;
            if (!gray && !rgb)
                converted = fz_convert_pixmap(context, decoded, fz_device_rgb(context), nullptr, nullptr,
                                              fz_default_color_params, 0);
        });
    } catch (...) {
        release();
        throw;
    }

    // The pixels are read where MuPDF decoded them; they are released only after encoding.
    QByteArray jpeg;
    int newWidth = 0;
    int newHeight = 0;
    try {
        fz_pixmap* pixels = converted ? converted : decoded;
        const int width = fz_pixmap_width(context, pixels);
        const int height = fz_pixmap_height(context, pixels);
        const QImage view(fz_pixmap_samples(context, pixels), width, height,
                          fz_pixmap_stride(context, pixels),
                          gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        // Smooth scaling may hand back a wider pixel format: bring it back to what JPEG stores.
        const QImage picture =
            qMax(width, height) > longest
                ? view.scaled(longest, longest, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888)
                : view;
        jpeg = JpegCodec::encode(picture, jpegQualityFor(m_quality), QByteArray(), JpegCodec::Scan::Baseline);
        newWidth = picture.width();
        newHeight = picture.height();
    } catch (...) {
        release();
        throw;
    }
    release();

    if (jpeg.isEmpty() || (oldSize > 0 && jpeg.size() >= oldSize))
        return false;

    fz_buffer* buffer = nullptr;
    try {
        m_session.run([&] {
            object = pdf_new_indirect(context, document, number, 0);
            buffer = fz_new_buffer_from_copied_data(
                context, reinterpret_cast<const unsigned char*>(jpeg.constData()), size_t(jpeg.size()));
            pdf_update_stream(context, document, object, buffer, 1);
            pdf_dict_put(context, object, PDF_NAME(Filter), PDF_NAME(DCTDecode));
            pdf_dict_del(context, object, PDF_NAME(DecodeParms));
            pdf_dict_del(context, object, PDF_NAME(Decode));
            pdf_dict_put_int(context, object, PDF_NAME(Width), newWidth);
            pdf_dict_put_int(context, object, PDF_NAME(Height), newHeight);
            pdf_dict_put_int(context, object, PDF_NAME(BitsPerComponent), 8);
            pdf_dict_put(context, object, PDF_NAME(ColorSpace),
                         gray ? PDF_NAME(DeviceGray) : PDF_NAME(DeviceRGB));
        });
    } catch (...) {
        fz_drop_buffer(context, buffer);
        pdf_drop_obj(context, object);
        throw;
    }
    fz_drop_buffer(context, buffer);
    pdf_drop_obj(context, object);
    return true;
}
