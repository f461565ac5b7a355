#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Makes PDF inputs for tests and benchmarks: pages of text (an embedded font), of photographs
// (generated, distinct per page) or both, with optional bookmarks, document title, password,
// layers and sticky notes.
class PdfFactory
{
public:
    enum class Content { Text, Images, Mixed };

    struct Options {
        int pages = 1;
        Content content = Content::Text;
        int imageWidth = 1200; // pixels of each page's picture
        QString title;         // document information /Title when not empty
        int bookmarkEvery = 0; // a chapter bookmark every n pages, each with one child on its next page
        QString userPassword;  // locks the file when not empty
        // Without a user password: the file opens without one, but printing is not allowed.
        QString ownerPassword;
        bool layers = false; // a box in layer "Answers" (off by default) and one in "Questions", every page
        int notes = 0;       // sticky notes (/Text with its /Popup), spread over the pages
        QString carried;     // a feature of PdfCarriedFeatures::add, at least 11 pages
    };

    // False when the file could not be written.
    static bool write(const QString& path, const Options& options);
    // Twelve pages of text and pictures (so that a rewrite is smaller) that carry one `feature`:
    // "layers", "notes" (twelve, each with its popup), "owner" (an owner password, no printing), or
    // one of PdfCarriedFeatures ("form", "attachments", "tagged", "cmyk", "icc-cmyk").
    static Options carrying(const QString& feature);
    // Adds to the PDF at path what real manuals carry: a three-level outline of chapters that
    // start every chapterPages pages (sections and subsections inside; several kinds of view; some
    // open, some closed; one web bookmark), named destinations (a name tree and the old /Dests
    // dictionary), links on every page to far pages (by page, by name, by action) and to the web,
    // page labels (roman, decimal, "A-" prefixed), document information, XMP metadata and an
    // opening view.
    static bool addStructure(const QString& path, int chapterPages);
    // A manual in miniature: pictures and text on every page, addStructure(), then stored in object
    // streams by qpdf, as PDF 1.5 tool chains write them. Needs the qpdf program.
    static bool writeManual(const QString& path, int pages, int chapterPages);
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
    // The outline as one line per bookmark: indentation by level, title, "+" open / "-" closed
    // (for those with children), then the target ("-> page 12 XYZ 72 700 null", pages from 1, or
    // "-> URI ..." or "-> none").
    static QStringList outlineTree(const QString& path);
    // Every link annotation as "page: target" (pages from 1), in page and annotation order.
    static QStringList linkTargets(const QString& path);
    // Named destinations as "name -> target", sorted by name.
    static QStringList namedDestinations(const QString& path);
    // Page labels as the label of every page ("iii", "12", "A-2").
    static QStringList pageLabels(const QString& path);
    // Document information as "Key=value" lines (sorted), and the XMP metadata decoded.
    static QStringList documentInfo(const QString& path);
    static QByteArray xmpMetadata(const QString& path);
    // The view the document opens with ("page 1 Fit"), empty for none.
    static QString openView(const QString& path);
    // The text of every page, as MuPDF extracts it.
    static QStringList pageTexts(const QString& path);
    // The optional content as "name on|off: pages" (pages from 1 whose resources refer to that very
    // layer object), in the order of the catalog's list of layers.
    static QStringList layers(const QString& path);
    // Notes whose /Popup is a popup annotation of the same page whose /Parent is the note.
    static int notesWithPopups(const QString& path);
    // Objects stored inside object streams (0 for a file without them).
    static int objectsInStreams(const QString& path);

    // Font dictionaries stored in the file (a font that several pages share counts once).
    static int fontCount(const QString& path);
    // Raster images stored in the file and how many of them are JPEG.
    static int imageCount(const QString& path, int* jpegCount = nullptr);
};
