#include "QPdfDocument.h"

#include <vector>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QFile>

#include "PdfPageTree.h"

namespace
{
// Levels of the form's field tree that are looked into, and fields at most: a damaged or hostile
// file can make its /Kids lead back up or fan out without end.
const int kMaxFieldDepth = 32;
const int kMaxFields = 100000;

// /SigFlags bit 2, AppendOnly: writers must only ever append to the file.
const int kAppendOnly = 2;

// The walk behind QPdfDocument::holdsSignature; `seen` has one entry per object number. Must run
// inside a guard.
bool formHoldsSignature(fz_context* context, pdf_document* document, std::vector<bool>& seen)
{
    pdf_obj* form = pdf_dict_getp(context, pdf_trailer(context, document), "Root/AcroForm");
    if (pdf_dict_get_int(context, form, PDF_NAME(SigFlags)) & kAppendOnly)
        return true;
    // What a field passes to its kids: whether it is a signature field, and whether it has a value.
    struct Frame {
        pdf_obj* kids;
        int next;
        bool signatureField;
        bool signedValue;
    };
    Frame frames[kMaxFieldDepth];
    int levels = 0;
    int fields = 0;
    frames[levels++] = {pdf_dict_get(context, form, PDF_NAME(Fields)), 0, false, false};
    while (levels > 0 && fields < kMaxFields) {
        Frame& frame = frames[levels - 1];
        if (frame.next >= pdf_array_len(context, frame.kids)) {
            --levels;
            continue;
        }
        pdf_obj* field = pdf_array_get(context, frame.kids, frame.next++);
        if (!pdf_is_dict(context, field))
            continue;
        if (pdf_is_indirect(context, field)) {
            const int number = pdf_to_num(context, field);
            if (number <= 0 || size_t(number) >= seen.size() || seen[size_t(number)])
                continue;
            seen[size_t(number)] = true;
        }
        ++fields;
        pdf_obj* type = pdf_dict_get(context, field, PDF_NAME(FT));
        const bool signatureField = type ? pdf_name_eq(context, type, PDF_NAME(Sig)) : frame.signatureField;
        pdf_obj* value = pdf_dict_get(context, field, PDF_NAME(V));
        const bool signedValue = value ? pdf_is_dict(context, value) : frame.signedValue;
        if (signatureField && signedValue)
            return true;
        pdf_obj* kids = pdf_dict_get(context, field, PDF_NAME(Kids));
        if (levels < kMaxFieldDepth && pdf_is_array(context, kids))
            frames[levels++] = {kids, 0, signatureField, signedValue};
    }
    return false;
}

// The pages that the page tree actually holds; the /Count it states may be anything. Must run inside
// a guard. A document of another kind than PDF has no page tree: it counts as empty.
int countPages(fz_context* context, fz_document* document)
{
    pdf_document* pdf = pdf_specifics(context, document);
    return pdf ? PdfPageTree::walk(context, pdf).pages : 0;
}
} // namespace

QPdfDocument::QPdfDocument(QObject* parent)
    : QObject(parent)
    , m_authenticated(false)
    , m_context(nullptr)
    , m_document(nullptr)
    , m_pageCount(0)
{
    setUp();
}

QPdfDocument::QPdfDocument(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
    , m_authenticated(false)
    , m_context(nullptr)
    , m_document(nullptr)
    , m_pageCount(0)
{
    setUp();
}

QPdfDocument::~QPdfDocument()
{
    if (m_document)
        fz_drop_document(m_context, m_document);
    if (m_context)
        fz_drop_context(m_context);
}

void QPdfDocument::setUp()
{
    // The library accepts only the version text of the headers it was built with.
    m_context = fz_new_context(nullptr, nullptr, FZ_STORE_UNLIMITED);
    if (!m_context)
        return;
    fz_try(m_context)
    {
        fz_register_document_handlers(m_context);
    }
    fz_catch(m_context)
    {
        fz_drop_context(m_context);
        m_context = nullptr;
    }
}

bool QPdfDocument::open()
{
    if (!QFile::exists(m_path) || !m_context)
        return false;
    const QByteArray path = m_path.toUtf8();
    fz_document* document = nullptr;
    int pages = 0;
    fz_var(document);
    fz_var(pages);
    fz_try(m_context)
    {
        document = fz_open_document(m_context, path.constData());
        // A locked document cannot give its page tree: a count of 0 stands for it.
        if (!fz_needs_password(m_context, document))
            pages = countPages(m_context, document);
    }
    fz_catch(m_context)
    {
        if (document)
            fz_drop_document(m_context, document);
        document = nullptr;
    }
    if (!document)
        return false;
    if (m_document)
        fz_drop_document(m_context, m_document);
    m_document = document;
    m_pageCount = pages;
    return true;
}

int QPdfDocument::pageCount() const
{
    return m_pageCount;
}

bool QPdfDocument::needsPassword() const
{
    if (!m_context || !m_document)
        return true;
    int needs = 0;
    fz_var(needs);
    fz_try(m_context)
    {
        needs = fz_needs_password(m_context, m_document);
    }
    fz_catch(m_context)
    {
        needs = 1;
    }
    return needs > 0;
}

bool QPdfDocument::authenticate(const QString& password)
{
    if (!m_context || !m_document)
        return false;
    const QByteArray utf8 = password.toUtf8();
    int result = 0;
    fz_var(result);
    fz_try(m_context)
    {
        result = fz_authenticate_password(m_context, m_document, utf8.constData());
    }
    fz_catch(m_context)
    {
        // An error while decrypting counts as a refused password: nothing is thrown past here.
        result = 0;
    }
    if (result < 1)
        return false;
    m_authenticated = true;
    // The page tree is readable now.
    fz_try(m_context)
    {
        m_pageCount = countPages(m_context, m_document);
    }
    fz_catch(m_context)
    {
        m_pageCount = 0;
    }
    return true;
}

bool QPdfDocument::isAuthenticated() const
{
    return m_authenticated;
}

bool QPdfDocument::holdsSignature() const
{
    pdf_document* document = m_context && m_document ? pdf_specifics(m_context, m_document) : nullptr;
    if (!document)
        return false;
    // One bit per object of the document, which MuPDF holds already.
    std::vector<bool> seen(size_t(qMax(0, pdf_xref_len(m_context, document))), false);
    int holds = 0;
    fz_var(holds);
    fz_try(m_context)
    {
        holds = formHoldsSignature(m_context, document, seen) ? 1 : 0;
    }
    fz_catch(m_context)
    {
        // A form that cannot be read through holds no signature that a viewer could check.
        holds = 0;
    }
    return holds != 0;
}

const QString& QPdfDocument::path() const
{
    return m_path;
}

void QPdfDocument::setPath(const QString& path)
{
    m_path = path;
}

float QPdfDocument::pageZoom(fz_context* context, fz_document* document, int pageNumber)
{
    fz_page* page = fz_load_page(context, document, pageNumber);
    const fz_rect bounds = fz_bound_page(context, page);
    fz_drop_page(context, page);
    const float zoomX = 1920.0f / (bounds.x1 - bounds.x0);
    const float zoomY = 1920.0f / (bounds.y1 - bounds.y0);
    const float fit = zoomY < zoomX ? zoomY : zoomX;
    return fit < 1.0f ? fit : 1.0f;
}

void QPdfDocument::renderPageToPng(int pageNumber, const QByteArray& pngPath, int* width)
{
    if (width)
        *width = 0;
    if (!m_context || !m_document)
        return;
    fz_pixmap* pixmap = nullptr;
    fz_var(pixmap);
    fz_try(m_context)
    {
        const float zoom = pageZoom(m_context, m_document, pageNumber);
        const fz_matrix matrix = fz_pre_rotate(fz_scale(zoom, zoom), 0);
        pixmap = fz_new_pixmap_from_page_number(m_context, m_document, pageNumber, matrix,
                                                fz_device_rgb(m_context), 0);
        fz_save_pixmap_as_png(m_context, pixmap, pngPath.constData());
        if (width)
            *width = fz_pixmap_width(m_context, pixmap);
    }
    fz_always(m_context)
    {
        fz_drop_pixmap(m_context, pixmap);
    }
    fz_catch(m_context)
    {
        if (width)
            *width = 0;
    }
}
