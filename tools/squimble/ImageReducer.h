#pragma once

#include <QByteArray>
#include <QSize>

#include "CompressionProfile.h"

// Re-encodes one picture of a package by the profile: JPEG stays JPEG, PNG stays PNG, so no
// reference to the picture has to change. Pictures in other formats are left alone.
class ImageReducer
{
public:
    enum class Kind { Other, Jpeg, Png };

    explicit ImageReducer(const CompressionProfile& profile);

    // The kind of picture the data holds, by its signature.
    static Kind kindOf(const QByteArray& head);

    // Pixel size a picture of `size` is given under a longest-side bound (unchanged when it fits).
    static QSize boundedSize(const QSize& size, int maxSide);

    // Smaller data for the picture, or empty data when the picture cannot be read or nothing
    // smaller comes out of it.
    QByteArray reduce(const QByteArray& data) const;

private:
    QByteArray reduceJpeg(const QByteArray& data) const;
    QByteArray reducePng(const QByteArray& data) const;

    CompressionProfile m_profile;
};
