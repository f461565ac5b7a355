#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

// Builds and reads small Office Open XML packages (.docx, .pptx) for tests and benchmarks, with
// libzip: a minimal valid document whose pictures are the given media files.
class OoxmlPackage
{
public:
    struct Entry {
        QString name;
        QByteArray data;
        bool deflated = true; // false: stored
    };

    // A picture part: file name under the media folder ("image1.jpeg", "image2.png") and its bytes.
    struct Media {
        QString fileName;
        QByteArray data;
    };

    // A Word document with one paragraph of text and each picture on a paragraph of its own.
    static QList<Entry> wordDocument(const QList<Media>& media);
    // A presentation with one slide per picture (master, layout and theme included).
    static QList<Entry> presentation(const QList<Media>& media);

    // Writes the entries in their order; false on any libzip failure.
    static bool write(const QString& path, const QList<Entry>& entries);
    // The entries in archive order (deflated tells the stored method), or an empty list when the
    // file does not open as a zip archive or an entry cannot be read.
    static QList<Entry> read(const QString& path);

    // A photograph-like picture: smooth colour fields, hard-edged shapes and sensor-like noise.
    static QImage photo(int width, int height, quint32 seed);
    // A chart-like picture with few colours: gradient title band, rounded boxes, lines.
    static QImage diagram(int width, int height);
    static QByteArray jpeg(const QImage& image, int quality);
    static QByteArray png(const QImage& image);
};
