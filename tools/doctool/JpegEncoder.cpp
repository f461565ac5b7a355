#include "JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {
struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// The encoding proper, free of C++ objects with destructors so that libjpeg's long jump is safe.
bool encodeRows(const unsigned char* pixels, int width, int height, int stride, int components, int quality,
                unsigned char** output, unsigned long* size)
{
    jpeg_compress_struct info;
    ErrorManager error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = onError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, output, size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + size_t(info.next_scanline) * size_t(stride));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}
} // namespace

QByteArray JpegEncoder::encode(const QImage& image, int quality)
{
    int components = 0;
    if (image.format() == QImage::Format_Grayscale8)
        components = 1;
    else if (image.format() == QImage::Format_RGB888)
        components = 3;
    if (components == 0 || image.isNull())
        return QByteArray();

    unsigned char* output = nullptr;
    unsigned long size = 0;
    const bool encoded = encodeRows(image.constBits(), image.width(), image.height(), int(image.bytesPerLine()),
                                    components, qBound(1, quality, 100), &output, &size);
    QByteArray result;
    if (encoded && output)
        result = QByteArray(reinterpret_cast<const char*>(output), int(size));
    std::free(output);
    return result;
}
