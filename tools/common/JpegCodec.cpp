#include "JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace
{
// libjpeg reports fatal errors through error_exit, which must not return: jump back instead.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void onMessage(j_common_ptr)
{
    // Warnings about slightly damaged data are not worth a line on the tool's output.
}

void installErrorManager(jpeg_compress_struct* info, ErrorManager* errors)
{
    info->err = jpeg_std_error(&errors->pub);
    errors->pub.error_exit = onError;
    errors->pub.output_message = onMessage;
}

void installErrorManager(jpeg_decompress_struct* info, ErrorManager* errors)
{
    info->err = jpeg_std_error(&errors->pub);
    errors->pub.error_exit = onError;
    errors->pub.output_message = onMessage;
}

// The functions below hold only plain data in their own frame: a longjmp out of libjpeg skips no
// destructor. Everything with one lives in the caller and is reached through a pointer.
bool decodeInto(const QByteArray* data, int minLongSide, QSize* fullSize, QByteArray* iccProfile, QImage* out)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    installErrorManager(&info, &errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data->constData()),
                 static_cast<unsigned long>(data->size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    *fullSize = QSize(int(info.image_width), int(info.image_height));

    QImage::Format format;
    if (info.jpeg_color_space == JCS_GRAYSCALE) {
        info.out_color_space = JCS_GRAYSCALE;
        format = QImage::Format_Grayscale8;
    } else if (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB) {
        info.out_color_space = JCS_RGB;
        format = QImage::Format_RGB888;
    } else {
        jpeg_destroy_decompress(&info);
        return false;
    }

    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccLength)) {
        *iccProfile = QByteArray(reinterpret_cast<const char*>(icc), int(iccLength));
        std::free(icc);
    }

    const unsigned int longSide = qMax(info.image_width, info.image_height);
    unsigned int denominator = 1;
    if (minLongSide > 0) {
        while (denominator < 8 &&
               (longSide + denominator * 2 - 1) / (denominator * 2) >= unsigned(minLongSide))
            denominator *= 2;
    }
    info.scale_num = 1;
    info.scale_denom = denominator;

    jpeg_start_decompress(&info);
    *out = QImage(int(info.output_width), int(info.output_height), format);
    if (out->isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// What one JPEG is written as.
struct EncodeSettings {
    int width;
    int height;
    int components;
    J_COLOR_SPACE colorSpace;
    int quality;
    bool progressive;
    bool adobeMarkerAllowed; // false: none, whatever libjpeg's default for the colour space
    const QByteArray* iccProfile;
};

// Writes the rows that `rowAt` gives (one for each line, top first) as a JPEG into a buffer of
// libjpeg's; the caller frees it. No object with a destructor lives in this frame: a libjpeg error
// jumps back into it.
bool encodeRows(const EncodeSettings* settings, const std::function<JSAMPROW(int)>* rowAt,
                unsigned char** buffer, unsigned long* length)
{
    jpeg_compress_struct info;
    ErrorManager errors;
    installErrorManager(&info, &errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, length);
    info.image_width = JDIMENSION(settings->width);
    info.image_height = JDIMENSION(settings->height);
    info.input_components = settings->components;
    info.in_color_space = settings->colorSpace;
    jpeg_set_defaults(&info);
    if (!settings->adobeMarkerAllowed)
        info.write_Adobe_marker = FALSE;
    jpeg_set_quality(&info, settings->quality, TRUE);
    info.optimize_coding = TRUE;
    if (settings->progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (settings->iccProfile && !settings->iccProfile->isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(settings->iccProfile->constData()),
                               unsigned(settings->iccProfile->size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = (*rowAt)(int(info.next_scanline));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

QByteArray encodeToBytes(const EncodeSettings& settings, const std::function<JSAMPROW(int)>& rowAt)
{
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    QByteArray result;
    if (encodeRows(&settings, &rowAt, &buffer, &length))
        result = QByteArray(reinterpret_cast<const char*>(buffer), int(length));
    std::free(buffer);
    return result;
}
} // namespace

QImage JpegCodec::decode(const QByteArray& data, int minLongSide, QSize* fullSize, QByteArray* iccProfile)
{
    QImage image;
    QSize size;
    QByteArray icc;
    if (!decodeInto(&data, minLongSide, &size, &icc, &image))
        return QImage();
    *fullSize = size;
    *iccProfile = icc;
    return image;
}

QByteArray JpegCodec::encode(const QImage& image, int quality, const QByteArray& iccProfile, Scan scan)
{
    QImage source = image;
    if (source.format() != QImage::Format_Grayscale8 && source.format() != QImage::Format_RGB888)
        source = source.convertToFormat(QImage::Format_RGB888);
    const bool grey = source.format() == QImage::Format_Grayscale8;
    const EncodeSettings settings{
        source.width(),          source.height(),           grey ? 1 : 3, grey ? JCS_GRAYSCALE : JCS_RGB,
        qBound(1, quality, 100), scan == Scan::Progressive, true,         &iccProfile};
    return encodeToBytes(settings,
                         [&source](int y) { return const_cast<JSAMPROW>(source.constScanLine(y)); });
}

QByteArray JpegCodec::encodeCmyk(const QImage& cmy, const QImage& black, int quality)
{
    if (cmy.format() != QImage::Format_RGB888 || black.format() != QImage::Format_Grayscale8 ||
        cmy.size() != black.size() || cmy.isNull())
        return QByteArray();
    // C, M and Y come from the RGB888 plane, K from the grey one. The values go in as they are, with no
    // Adobe marker, so no reader takes them for the inverted ones that marker stands for.
    std::vector<JSAMPLE> row(size_t(cmy.width()) * 4);
    const EncodeSettings settings{cmy.width(), cmy.height(), 4,      JCS_CMYK, qBound(1, quality, 100),
                                  false,       false,        nullptr};
    return encodeToBytes(settings, [&cmy, &black, &row](int y) {
        const uchar* three = cmy.constScanLine(y);
        const uchar* one = black.constScanLine(y);
        for (int x = 0; x < cmy.width(); ++x) {
            JSAMPLE* pixel = row.data() + size_t(x) * 4;
            pixel[0] = three[x * 3];
            pixel[1] = three[x * 3 + 1];
            pixel[2] = three[x * 3 + 2];
            pixel[3] = one[x];
        }
        return row.data();
    });
}
