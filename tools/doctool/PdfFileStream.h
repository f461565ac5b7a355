#pragma once

extern "C" {
#include <mupdf/fitz.h>
}

// A MuPDF input stream over a file that reads large pieces at known offsets. MuPDF's own file
// stream reads 4 KB at a time and moves the file position before every object it loads, which
// costs two system calls per 4 KB of picture data; this one reads 256 KB per call, never moves a
// file position, and serves a seek that lands in the piece already read without reading again.
class PdfFileStream
{
public:
    // Opens the file at path (in the file system's encoding) for reading; the stream owns the file.
    // Throws (MuPDF style) when it cannot be opened, so call it inside a MuPDF guard.
    static fz_stream* open(fz_context* context, const char* path);

private:
    static int next(fz_context* context, fz_stream* stream, size_t max);
    static void seek(fz_context* context, fz_stream* stream, int64_t offset, int whence);
    static void drop(fz_context* context, void* state);
};
