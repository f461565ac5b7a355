#include "ImageReducer.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "JpegCodec.h"
#include "PaletteQuantizer.h"

namespace
{
// Qt maps 0..100 onto zlib's levels 0..9. Level 6 is zlib's own default: the best levels gain
// a few percent on photographs at several times the time.
const int kPngCompression = 70;
} // namespace

ImageReducer::ImageReducer(const CompressionProfile& profile)
    : m_profile(profile)
{
}

ImageReducer::Kind ImageReducer::kindOf(const QByteArray& head)
{
    static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
    if (head.startsWith(pngSignature))
        return Kind::Png;
    if (head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 && uchar(head[2]) == 0xFF)
        return Kind::Jpeg;
    return Kind::Other;
}

QSize ImageReducer::boundedSize(const QSize& size, int maxSide)
{
    const int w = size.width();
    const int h = size.height();
    if (w <= maxSide && h <= maxSide)
        return size;
    if (w >= h)
        return QSize(maxSide, qMax(1, qRound(double(h) * maxSide / w)));
    return QSize(qMax(1, qRound(double(w) * maxSide / h)), maxSide);
}

QByteArray ImageReducer::reduce(const QByteArray& data) const
{
    QByteArray reduced;
    switch (kindOf(data)) {
    case Kind::Jpeg:
        reduced = reduceJpeg(data);
        break;
    case Kind::Png:
        reduced = reducePng(data);
        break;
    case Kind::Other:
        break;
    }
    if (reduced.isEmpty() || reduced.size() >= data.size())
        return QByteArray();
    return reduced;
}

QByteArray ImageReducer::reduceJpeg(const QByteArray& data) const
{
    QSize fullSize;
    QByteArray icc;
    QImage image = JpegCodec::decode(data, m_profile.maxSide(), &fullSize, &icc);
    if (image.isNull())
        return QByteArray();
    // A scaled decode rounds its sides up, so the target follows from the size in the header.
    const QSize target = boundedSize(fullSize, m_profile.maxSide());
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return JpegCodec::encode(image, m_profile.jpegQuality(), icc);
}

QByteArray ImageReducer::reducePng(const QByteArray& data) const
{
    QImage image;
    if (!image.loadFromData(data, "PNG"))
        return QByteArray();

    const QSize target = boundedSize(image.size(), m_profile.maxSide());
    if (target != image.size()) {
        const QImage::Format working = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
        image =
            image.convertToFormat(working).scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (m_profile.quantizePng() && image.format() != QImage::Format_Indexed8) {
        const QImage indexed =
            PaletteQuantizer::quantize(image, m_profile.paletteQualityMin(), m_profile.paletteQualityMax());
        if (!indexed.isNull())
            image = indexed;
    }

    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(kPngCompression);
    if (!writer.write(image))
        return QByteArray();
    return encoded;
}
