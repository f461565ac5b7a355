#pragma once

#include <QSize>
#include <QString>

class QImageReader;

// What a picture's header says of it, read without decoding the picture.
class PictureHeader
{
public:
    // The width and height of the picture that `reader` reads, as its pixels show, whatever the order
    // in which its rows are stored: a BMP whose rows run top first states its height as negative, and
    // Qt gives that sign on. Invalid when the header cannot be read.
    static QSize size(QImageReader& reader);
    static QSize size(const QString& path);
};
