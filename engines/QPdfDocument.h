#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

struct fz_context;
struct fz_document;

// One PDF opened through MuPDF: page count, password test and entry, and rendering of a page to
// PNG fitted into 1920 x 1920 pixels. Owns its own MuPDF context, so an object stays on one thread.
class QPdfDocument : public QObject
{
    Q_OBJECT
public:
    explicit QPdfDocument(QObject* parent = nullptr);
    QPdfDocument(const QString& path, QObject* parent = nullptr);
    ~QPdfDocument() override;

    // A locked document opens with page count 0; a successful authenticate() then counts its pages.
    // The count is that of the pages found in the page tree, never more than the file's objects,
    // whatever the tree claims (PdfPageTree).
    bool open();
    int pageCount() const;
    bool needsPassword() const;
    bool authenticate(const QString& password);
    bool isAuthenticated() const;
    // Whether the document holds a signature that a rewrite would break: a signature field (/FT
    // /Sig, also inherited) whose value is a signature, or a form whose /SigFlags ask writers to
    // append only. A signature field without a value is no signature. False when nothing is open.
    bool holdsSignature() const;
    const QString& path() const;
    void setPath(const QString& path);

    // Renders page pageNumber (from 0) to pngPath; *width receives the pixel width (0 on failure).
    void renderPageToPng(int pageNumber, const QByteArray& pngPath, int* width);
    static float pageZoom(fz_context* context, fz_document* document, int pageNumber);

private:
    void setUp();

    QString m_path;
    bool m_authenticated;
    fz_context* m_context;
    fz_document* m_document;
    int m_pageCount;
};
