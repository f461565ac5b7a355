#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Makes PDF inputs for tests and benchmarks: pages of text (an embedded font), of photographs
// (generated, distinct per page) or both, with optional bookmarks, document title and password.
class PdfFactory
{
public:
    enum class Content { Text, Images, Mixed };

    struct Options
    {
        int pages = 1;
        Content content = Content::Text;
        int imageWidth = 1200; // pixels of each page's picture
        QString title;         // document information /Title when not empty
        int bookmarkEvery = 0; // a chapter bookmark every n pages, each with one child on its next page
        QString userPassword;  // locks the file when not empty
    };

    // False when the file could not be written.
    static bool write(const QString& path, const Options& options);
    // Empty pages of the given sizes in points (none: a document without pages).
    static bool writeBlank(const QString& path, const QList<QSizeF>& pageSizes);

    // Read back through MuPDF: the page count (-1 when the file cannot be opened or is locked),
    // the document title, and the bookmarks as "title@page" (pages from 1, children indented by two
    // blanks per level).
    static int pageCount(const QString& path);
    static QString title(const QString& path);
    static QStringList bookmarks(const QString& path);
    // Annotations as "page:subtype", links within the file as "page:Link->page" (pages from 1).
    static QStringList annotations(const QString& path);
    // Font dictionaries stored in the file (a font that several pages share counts once).
    static int fontCount(const QString& path);
    // Raster images stored in the file and how many of them are JPEG.
    static int imageCount(const QString& path, int* jpegCount = nullptr);
};
