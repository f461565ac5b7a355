#pragma once

#include <QString>
#include <QStringList>

// What a PDF carries besides the drawing of its pages, added to a PDF that PdfFactory made and read
// back in a form two files can be compared by: a filled form, attached files, a tagged structure
// with document JavaScript, or pictures in CMYK.
class PdfCarriedFeatures
{
public:
    // Adds feature to the PDF at path (of at least 11 pages):
    // "form": text fields ("name" Zhang Wei on page 1, "city" Hangzhou on page 6), a ticked check box
    //   on page 11, a combo box set to Green on page 7, "address" with kids "street" on page 5 and
    //   "zip" on page 6; each widget with its appearance, the form with NeedAppearances;
    // "attachments": data.csv and photo.jpg in the names tree, note.txt in a file-attachment
    //   annotation on page 8;
    // "tagged": a structure tree (chapters of three pages, a heading and a paragraph with its
    //   alternate text on every page, a role and a class map), /MarkInfo, /Lang, document
    //   JavaScript and a JavaScript opening action;
    // "cmyk" or "icc-cmyk": every picture stored again in DeviceCMYK, or in CMYK with Ghostscript's
    //   ICC profile of a printer.
    static bool add(const QString& path, const QString& feature);
    // Puts a reference to an object that the PDF at path does not hold (as a file cut short has them)
    // where `place` says: "attachment" (an entry "lost.bin" of the attached files, which needs
    // "attachments"), "script" (document JavaScript "lost", which needs "tagged"), "form field" (one
    // more of the form's fields, "form"), "structure element" (one more kid of the first chapter,
    // "tagged"), "annotation" (one more of page 8's) or "font" (one more of page 1's fonts).
    static bool addMissingReference(const QString& path, const QString& place);
    // Gives page 1 of the PDF at path a signature field "Signature1": "unsigned" (no value yet),
    // "append only" (no value, but the form's /SigFlags ask writers to append only) or "signed"
    // (adbe.pkcs7.detached over its byte range, by openssl with a self-signed key made in workDir,
    // as signing programs do; poppler's pdfsig finds it valid).
    static bool addSignature(const QString& path, const QString& kind, const QString& workDir);

    // The feature as lines that hold where it is kept: every field reachable from the form, as
    // "full.name=value (type) pages" with the pages of its widgets, which must be on their page
    // and point at their field; the attachments as "name: size digest"; the structure tree as one
    // line per element (type, page, marked-content numbers, each found again through the parent
    // tree) with the role and class maps, /MarkInfo, /Lang and the JavaScript; the pictures' colour
    // spaces ("rgb", "cmyk", "icc-cmyk"). Empty for other features and when the file cannot be read.
    static QStringList describe(const QString& path, const QString& feature);
};
