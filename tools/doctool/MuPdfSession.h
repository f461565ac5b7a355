#pragma once

#include <stdexcept>
#include <utility>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QString>
#include <QStringList>

#include "PdfPageTree.h"

// One MuPDF context for one tool run. MuPDF reports errors by long jump; run() turns them into a
// std::runtime_error at the edge of each guarded call, so that no C++ object is ever jumped over.
// The functions handed to run() must therefore hold only plain values and MuPDF pointers.
//
// A hostile or damaged file is read within bounds: a loop in one of its trees is cut, levels beyond
// a depth limit are left out, a page tree is counted as it is (PdfPageTree). Each such cut is noted
// once (noteLeftOut); when the session ends, the notes go to standard output as one line,
// kLeftOutPrefix followed by the notes joined by "; ", which the PDF engine logs for the file.
class MuPdfSession
{
public:
    MuPdfSession();
    ~MuPdfSession();
    MuPdfSession(const MuPdfSession&) = delete;
    MuPdfSession& operator=(const MuPdfSession&) = delete;

    static const char* const kLeftOutPrefix;

    fz_context* context() const { return m_context; }

    template <class Function> void run(Function&& function)
    {
        bool failed = false;
        fz_try(m_context)
        {
            function();
        }
        fz_catch(m_context)
        {
            failed = true;
        }
        if (failed)
            throw std::runtime_error(fz_caught_message(m_context));
    }

    // Runs `visit(object)` inside a guard on object `number` of `document`, when its cross-reference
    // entry holds one in use, and drops the object after. False when the entry holds none. A failure of
    // the load or of the visit throws, as run() does.
    template <class Visit> bool withObject(pdf_document* document, int number, Visit&& visit)
    {
        bool inUse = false;
        run([&] {
            pdf_xref_entry* entry = pdf_get_xref_entry(m_context, document, number);
            if (!entry || (entry->type != 'n' && entry->type != 'o'))
                return;
            inUse = true;
            pdf_obj* object = pdf_load_object(m_context, document, number);
            fz_try(m_context)
            {
                visit(object);
            }
            fz_always(m_context)
            {
                pdf_drop_obj(m_context, object);
            }
            fz_catch(m_context)
            {
                fz_rethrow(m_context);
            }
        });
        return inUse;
    }

    // Opens a PDF for reading and writing in memory; throws with a reason when it cannot be opened,
    // is locked by a password, or has no pages. A page tree that does not hold what it claims is
    // rebuilt from the pages found (PdfPageTree::repair), so that every count and lookup by page
    // number agrees with them.
    pdf_document* openPdf(const QString& path);
    // Who stores identical objects once: the save itself, or a PdfDeduplicator run before it.
    enum class Merging { OnSave, Done };
    // Saves with unused objects dropped and streams compressed, not encrypted.
    void savePdf(pdf_document* document, const QString& path, Merging merging = Merging::OnSave);
    // The page count of the PDF at path, or -1 when it cannot be opened.
    int pageCountOf(const QString& path);

    // Names what a bound or a repair left out ("a loop in the outline"); each text counts once.
    void noteLeftOut(const QString& what);
    const QStringList& leftOut() const { return m_leftOut; }

private:
    void notePageTree(const PdfPageTree::Facts& tree);

    fz_context* m_context;
    QStringList m_leftOut;
};

// Owns one MuPDF document for the length of a scope.
class PdfDocumentHolder
{
public:
    PdfDocumentHolder(fz_context* context, pdf_document* document)
        : m_context(context)
        , m_document(document)
    {
    }
    ~PdfDocumentHolder() { pdf_drop_document(m_context, m_document); }
    PdfDocumentHolder(const PdfDocumentHolder&) = delete;
    PdfDocumentHolder& operator=(const PdfDocumentHolder&) = delete;
    pdf_document* get() const { return m_document; }

private:
    fz_context* m_context;
    pdf_document* m_document;
};
