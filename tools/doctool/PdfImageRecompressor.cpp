#include "PdfImageRecompressor.h"

#include <cstring>
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

int channelsOf(fz_context* context, pdf_obj* name)
{
    if (pdf_name_eq(context, name, PDF_NAME(DeviceGray)) || pdf_name_eq(context, name, PDF_NAME(G)) ||
        !strcmp(pdf_to_name(context, name), "CalGray"))
        return 1;
    if (pdf_name_eq(context, name, PDF_NAME(DeviceRGB)) || pdf_name_eq(context, name, PDF_NAME(RGB)) ||
        pdf_name_eq(context, name, PDF_NAME(CalRGB)))
        return 3;
    if (pdf_name_eq(context, name, PDF_NAME(DeviceCMYK)) || pdf_name_eq(context, name, PDF_NAME(CMYK)))
        return 4;
    return 0;
}

// The colour space a re-encoded picture is stored in, and its channel count: the picture's own (for
// an indexed one, its base), when JPEG holds its samples as they are: grey, RGB or CMYK, plain,
// calibrated or with an ICC profile. Null for the rest, spot colours (Separation, DeviceN) and Lab
// above all, whose pictures keep their coding. Must run inside a guard.
pdf_obj* jpegSpaceOf(fz_context* context, pdf_obj* space, int* channels)
{
    if (pdf_is_array(context, space) &&
        pdf_name_eq(context, pdf_array_get(context, space, 0), PDF_NAME(Indexed)))
        space = pdf_array_get(context, space, 1);
    if (pdf_is_name(context, space)) {
        *channels = channelsOf(context, space);
        return *channels > 0 ? space : nullptr;
    }
    pdf_obj* family = pdf_array_get(context, space, 0);
    if (pdf_name_eq(context, family, PDF_NAME(ICCBased))) {
        const int n = pdf_dict_get_int(context, pdf_array_get(context, space, 1), PDF_NAME(N));
        *channels = n == 1 || n == 3 || n == 4 ? n : 0;
    } else {
        *channels =
            !strcmp(pdf_to_name(context, family), "CalGray") || pdf_name_eq(context, family, PDF_NAME(CalRGB))
                ? channelsOf(context, family)
                : 0;
    }
    return *channels > 0 ? space : nullptr;
}

// For a picture that names no colour space (JPEG 2000 carries its own): the device space of what
// MuPDF decoded, or null.
pdf_obj* deviceSpaceOf(fz_context* context, fz_pixmap* pixels, int* channels)
{
    fz_colorspace* space = fz_pixmap_colorspace(context, pixels);
    *channels = 0;
    if (!space)
        return nullptr;
    if (fz_colorspace_is_gray(context, space)) {
        *channels = 1;
        return PDF_NAME(DeviceGray);
    }
    if (fz_colorspace_is_rgb(context, space)) {
        *channels = 3;
        return PDF_NAME(DeviceRGB);
    }
    if (fz_colorspace_is_cmyk(context, space)) {
        *channels = 4;
        return PDF_NAME(DeviceCMYK);
    }
    return nullptr;
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
    pdf_obj* space = nullptr;
    fz_image* image = nullptr;
    fz_pixmap* decoded = nullptr;
    int oldSize = 0;
    int channels = 0;

    // Decode to 8-bit samples in the colour space the picture is stored in again. The decoder is
    // asked for the target size, so JPEG pictures are decoded at a reduced scale where possible.
    const int longest = longestSideFor(m_quality);
    auto release = [&] {
        fz_drop_pixmap(context, decoded);
        fz_drop_image(context, image);
        pdf_drop_obj(context, space);
        pdf_drop_obj(context, object);
        decoded = nullptr;
        image = nullptr;
        space = nullptr;
        object = nullptr;
    };
    try {
        m_session.run([&] {
            object = pdf_new_indirect(context, document, number, 0);
            oldSize = pdf_dict_get_int(context, object, PDF_NAME(Length));
            pdf_obj* stored = pdf_dict_get(context, object, PDF_NAME(ColorSpace));
            space = pdf_keep_obj(context, jpegSpaceOf(context, stored, &channels));
            if (stored && !space)
                return; // spot colours, Lab: JPEG cannot hold them as they are
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
            if (!space)
                space = pdf_keep_obj(context, deviceSpaceOf(context, decoded, &channels));
        });
    } catch (...) {
        release();
        throw;
    }
    // A picture with its own transparency, or one MuPDF decoded otherwise than it is stored, keeps
    // its coding.
    if (!space || !decoded || fz_pixmap_alpha(context, decoded) ||
        fz_pixmap_colorants(context, decoded) != channels) {
        release();
        return false;
    }

    // The pixels are read where MuPDF decoded them; they are released only after encoding.
    QByteArray jpeg;
    QSize size;
    try {
        jpeg = encodeSamples(decoded, channels, &size);
    } catch (...) {
        release();
        throw;
    }
    fz_drop_pixmap(context, decoded);
    decoded = nullptr;

    if (jpeg.isEmpty() || (oldSize > 0 && jpeg.size() >= oldSize)) {
        release();
        return false;
    }

    fz_buffer* buffer = nullptr;
    try {
        m_session.run([&] {
            buffer = fz_new_buffer_from_copied_data(
                context, reinterpret_cast<const unsigned char*>(jpeg.constData()), size_t(jpeg.size()));
            pdf_update_stream(context, document, object, buffer, 1);
            pdf_dict_put(context, object, PDF_NAME(Filter), PDF_NAME(DCTDecode));
            pdf_dict_del(context, object, PDF_NAME(DecodeParms));
            pdf_dict_del(context, object, PDF_NAME(Decode));
            pdf_dict_put_int(context, object, PDF_NAME(Width), size.width());
            pdf_dict_put_int(context, object, PDF_NAME(Height), size.height());
            pdf_dict_put_int(context, object, PDF_NAME(BitsPerComponent), 8);
            pdf_dict_put(context, object, PDF_NAME(ColorSpace), space);
        });
    } catch (...) {
        fz_drop_buffer(context, buffer);
        release();
        throw;
    }
    fz_drop_buffer(context, buffer);
    release();
    return true;
}

QByteArray PdfImageRecompressor::encodeSamples(fz_pixmap* pixels, int channels, QSize* size) const
{
    fz_context* context = m_session.context();
    const int width = fz_pixmap_width(context, pixels);
    const int height = fz_pixmap_height(context, pixels);
    const int stride = int(fz_pixmap_stride(context, pixels));
    const unsigned char* samples = fz_pixmap_samples(context, pixels);
    const int quality = jpegQualityFor(m_quality);
    if (channels == 4) {
        // Qt scales no four-channel format without taking one for alpha: C, M, Y and K go apart.
        QImage cmy(width, height, QImage::Format_RGB888);
        QImage black(width, height, QImage::Format_Grayscale8);
        for (int y = 0; y < height; ++y) {
            const unsigned char* from = samples + y * stride;
            uchar* three = cmy.scanLine(y);
            uchar* one = black.scanLine(y);
            for (int x = 0; x < width; ++x) {
                memcpy(three + x * 3, from + x * 4, 3);
                one[x] = from[x * 4 + 3];
            }
        }
        cmy = fitted(cmy);
        black = fitted(black);
        *size = cmy.size();
        return JpegCodec::encodeCmyk(cmy, black, quality);
    }
    const QImage view(samples, width, height, stride,
                      channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    const QImage picture = fitted(view);
    *size = picture.size();
    return JpegCodec::encode(picture, quality, QByteArray(), JpegCodec::Scan::Baseline);
}

QImage PdfImageRecompressor::fitted(const QImage& plane) const
{
    const int longest = longestSideFor(m_quality);
    if (qMax(plane.width(), plane.height()) <= longest)
        return plane;
    // Smooth scaling may hand back a wider pixel format: bring it back to what JPEG stores.
    return plane.scaled(longest, longest, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(plane.format());
}
