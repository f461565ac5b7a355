#include "PictureHeader.h"

#include <limits>

#include <QImageReader>

QSize PictureHeader::size(QImageReader& reader)
{
    const QSize stated = reader.size();
    // No size at all (-1 x -1), or a height of the lowest int, which has no positive counterpart.
    if (stated.width() < 0 || stated.height() == std::numeric_limits<int>::min())
        return QSize();
    return QSize(stated.width(), qAbs(stated.height()));
}

QSize PictureHeader::size(const QString& path)
{
    QImageReader reader(path);
    return size(reader);
}
