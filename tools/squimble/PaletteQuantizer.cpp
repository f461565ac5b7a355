#include "PaletteQuantizer.h"

#include <memory>
#include <vector>

#include <libimagequant.h>

#include <QColorSpace>

namespace
{
// Pictures above twice this side are first tried at this size: a photograph that cannot reach
// the quality in a palette is turned down in milliseconds instead of seconds.
const int kTrialSide = 384;

struct AttrDeleter {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct ImageDeleter {
    void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct ResultDeleter {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};
} // namespace

QImage PaletteQuantizer::quantize(const QImage& image, int qualityMin, int qualityMax)
{
    if (image.isNull())
        return QImage();
    if (qMax(image.width(), image.height()) > kTrialSide * 2) {
        const QImage trial =
            image.scaled(kTrialSide, kTrialSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (quantize(trial, qualityMin, qualityMax).isNull())
            return QImage();
    }
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const int width = rgba.width();
    const int height = rgba.height();

    std::unique_ptr<liq_attr, AttrDeleter> attr(liq_attr_create());
    if (!attr || liq_set_quality(attr.get(), qualityMin, qualityMax) != LIQ_OK)
        return QImage();

    std::vector<void*> sourceRows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        sourceRows[size_t(y)] = const_cast<uchar*>(rgba.constScanLine(y));
    std::unique_ptr<liq_image, ImageDeleter> source(
        liq_image_create_rgba_rows(attr.get(), sourceRows.data(), width, height, 0));
    if (!source)
        return QImage();

    liq_result* rawResult = nullptr;
    if (liq_image_quantize(source.get(), attr.get(), &rawResult) != LIQ_OK)
        return QImage();
    std::unique_ptr<liq_result, ResultDeleter> result(rawResult);
    liq_set_dithering_level(result.get(), 1.0f);

    QImage indexed(width, height, QImage::Format_Indexed8);
    if (indexed.isNull())
        return QImage();
    std::vector<unsigned char*> targetRows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        targetRows[size_t(y)] = indexed.scanLine(y);
    if (liq_write_remapped_image_rows(result.get(), source.get(), targetRows.data()) != LIQ_OK)
        return QImage();

    const liq_palette* palette = liq_get_palette(result.get());
    QVector<QRgb> colours;
    colours.reserve(int(palette->count));
    for (unsigned int i = 0; i < palette->count; ++i) {
        const liq_color& c = palette->entries[i];
        colours.append(qRgba(c.r, c.g, c.b, c.a));
    }
    indexed.setColorTable(colours);
    indexed.setColorSpace(image.colorSpace());
    return indexed;
}
