#include "MuPdfSession.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdio>

#include <QFile>

#include "PdfFileStream.h"

const char* const MuPdfSession::kLeftOutPrefix = "left out: ";

MuPdfSession::MuPdfSession()
    : m_context(fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT))
{
#ifdef __GLIBC__
    // Decoded pictures are large and many: keep them on the heap for reuse instead of mapping
    // fresh pages for each one, whose first touch costs more than the decoding.
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // the largest value glibc accepts
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
    if (!m_context)
        throw std::runtime_error("cannot create a MuPDF context");
    // The library's own messages stay quiet: a failure reaches stderr as our one line.
    fz_set_warning_callback(m_context, nullptr, nullptr);
    fz_set_error_callback(m_context, nullptr, nullptr);
}

MuPdfSession::~MuPdfSession()
{
    fz_drop_context(m_context);
    if (!m_leftOut.isEmpty())
        std::printf("%s%s\n", kLeftOutPrefix, m_leftOut.join("; ").toUtf8().constData());
}

void MuPdfSession::noteLeftOut(const QString& what)
{
    if (!m_leftOut.contains(what))
        m_leftOut.append(what);
}

pdf_document* MuPdfSession::openPdf(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const char* name = encoded.constData();
    pdf_document* document = nullptr;
    int locked = 0;
    PdfPageTree::Facts tree;
    run([&] {
        fz_stream* file = PdfFileStream::open(m_context, name);
        fz_try(m_context)
        {
            document = pdf_open_document_with_stream(m_context, file);
        }
        fz_always(m_context)
        {
            fz_drop_stream(m_context, file);
        }
        fz_catch(m_context)
        {
            fz_rethrow(m_context);
        }
    });
    try {
        run([&] {
            locked = pdf_needs_password(m_context, document);
            if (!locked)
                tree = PdfPageTree::repair(m_context, document);
        });
    } catch (...) {
        pdf_drop_document(m_context, document);
        throw;
    }
    const int pages = tree.pages;
    notePageTree(tree);
    if (locked) {
        pdf_drop_document(m_context, document);
        throw std::runtime_error(QString("%1 is locked by a password").arg(path).toStdString());
    }
    if (pages <= 0) {
        pdf_drop_document(m_context, document);
        throw std::runtime_error(QString("%1 has no pages").arg(path).toStdString());
    }
    return document;
}

void MuPdfSession::savePdf(pdf_document* document, const QString& path, Merging merging)
{
    const QByteArray utf8 = path.toUtf8();
    const char* name = utf8.constData();
    pdf_write_options options = pdf_default_write_options;
    // 4: drop unused objects, renumber, store identical objects and streams once; 2: only the first two.
    options.do_garbage = merging == Merging::OnSave ? 4 : 2;
    options.do_compress = 1;
    options.do_compress_images = 1;
    options.do_compress_fonts = 1;
    // Written plain: the packing puts the encryption on (PdfCompactWriter).
    options.do_encrypt = PDF_ENCRYPT_NONE;
    run([&] { pdf_save_document(m_context, document, name, &options); });
}

void MuPdfSession::notePageTree(const PdfPageTree::Facts& tree)
{
    if (tree.loop)
        noteLeftOut("a loop in the page tree");
    if (tree.tooDeep)
        noteLeftOut(QString("page tree levels deeper than %1").arg(PdfPageTree::kMaxDepth));
    if (tree.strays)
        noteLeftOut("page tree entries that are not pages");
    if (tree.claimed != tree.pages)
        noteLeftOut(
            QString("a page count of %1 where the page tree holds %2").arg(tree.claimed).arg(tree.pages));
    else if (!tree.countsAgree)
        noteLeftOut("page counts inside the page tree that its pages do not match");
}

int MuPdfSession::pageCountOf(const QString& path)
{
    try {
        PdfDocumentHolder document(m_context, openPdf(path));
        int pages = -1;
        run([&] { pages = pdf_count_pages(m_context, document.get()); });
        return pages;
    } catch (const std::exception&) {
        return -1;
    }
}
