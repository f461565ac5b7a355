#include "JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
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

bool encodeInto(const QImage* image, int quality, const QByteArray* iccProfile, bool progressive,
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
    info.image_width = JDIMENSION(image->width());
    info.image_height = JDIMENSION(image->height());
    const bool grey = image->format() == QImage::Format_Grayscale8;
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (!iccProfile->isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(iccProfile->constData()),
                               unsigned(iccProfile->size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image->constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// CMYK from two planes of equal size: C, M and Y in an RGB888 image, K in a grey one. The values go
// in as they are, with no Adobe marker, so no reader takes them for the inverted ones that marker
// stands for.
bool encodeCmykInto(const QImage* cmy, const QImage* black, int quality, unsigned char** buffer,
                    unsigned long* length, std::vector<JSAMPLE>* row)
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
    info.image_width = JDIMENSION(cmy->width());
    info.image_height = JDIMENSION(cmy->height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    info.write_Adobe_marker = FALSE;
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        const uchar* three = cmy->constScanLine(y);
        const uchar* one = black->constScanLine(y);
        for (int x = 0; x < cmy->width(); ++x) {
            JSAMPLE* pixel = row->data() + size_t(x) * 4;
            pixel[0] = three[x * 3];
            pixel[1] = three[x * 3 + 1];
            pixel[2] = three[x * 3 + 2];
            pixel[3] = one[x];
        }
        JSAMPROW line = row->data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
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
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    const bool ok = encodeInto(&source, qBound(1, quality, 100), &iccProfile, scan == Scan::Progressive,
                               &buffer, &length);
    QByteArray result;
    if (ok)
        result = QByteArray(reinterpret_cast<const char*>(buffer), int(length));
    std::free(buffer);
    return result;
}

QByteArray JpegCodec::encodeCmyk(const QImage& cmy, const QImage& black, int quality)
{
    if (cmy.format() != QImage::Format_RGB888 || black.format() != QImage::Format_Grayscale8 ||
        cmy.size() != black.size() || cmy.isNull())
        return QByteArray();
    std::vector<JSAMPLE> row(size_t(cmy.width()) * 4);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    const bool ok = encodeCmykInto(&cmy, &black, qBound(1, quality, 100), &buffer, &length, &row);
    QByteArray result;
    if (ok)
        result = QByteArray(reinterpret_cast<const char*>(buffer), int(length));
    std::free(buffer);
    return result;
}
