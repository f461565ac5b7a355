#include "PdfFileStream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const size_t kPieceSize = 256 * 1024;

struct FileState {
    int descriptor;
    int64_t size;
    unsigned char piece[kPieceSize];
};
} // namespace

// Holds only plain values: MuPDF's errors leave by long jump.
fz_stream* PdfFileStream::open(fz_context* context, const char* path)
{
    const int descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        fz_throw(context, FZ_ERROR_GENERIC, "cannot open %s: %s", path, std::strerror(errno));
    struct stat facts;
    if (fstat(descriptor, &facts) != 0) {
        const int error = errno;
        ::close(descriptor);
        fz_throw(context, FZ_ERROR_GENERIC, "cannot open %s: %s", path, std::strerror(error));
    }
    FileState* state = nullptr;
    fz_var(state);
    fz_try(context)
    {
        state = static_cast<FileState*>(fz_malloc(context, sizeof(FileState)));
    }
    fz_catch(context)
    {
        ::close(descriptor);
        fz_rethrow(context);
    }
    state->descriptor = descriptor;
    state->size = int64_t(facts.st_size);
    // fz_new_stream drops the state itself when it fails.
    fz_stream* stream = fz_new_stream(context, state, next, drop);
    stream->seek = seek;
    return stream;
}

int PdfFileStream::next(fz_context* context, fz_stream* stream, size_t)
{
    FileState* state = static_cast<FileState*>(stream->state);
    ssize_t count;
    do
        count = pread(state->descriptor, state->piece, kPieceSize, off_t(stream->pos));
    while (count < 0 && errno == EINTR);
    if (count < 0)
        fz_throw(context, FZ_ERROR_GENERIC, "read error: %s", std::strerror(errno));
    stream->rp = state->piece;
    stream->wp = state->piece + count;
    stream->pos += count;
    if (count == 0)
        return EOF;
    return *stream->rp++;
}

void PdfFileStream::seek(fz_context* context, fz_stream* stream, int64_t offset, int whence)
{
    FileState* state = static_cast<FileState*>(stream->state);
    if (whence == SEEK_CUR)
        offset += stream->pos - (stream->wp - stream->rp);
    else if (whence == SEEK_END)
        offset += state->size;
    if (offset < 0)
        fz_throw(context, FZ_ERROR_GENERIC, "cannot seek to %lld", static_cast<long long>(offset));
    // stream->pos is the file offset of wp; the piece read last starts (wp - piece) bytes before.
    if (stream->wp) {
        const int64_t pieceStart = stream->pos - (stream->wp - state->piece);
        if (offset >= pieceStart && offset <= stream->pos) {
            stream->rp = state->piece + (offset - pieceStart);
            return;
        }
    }
    stream->pos = offset;
    stream->rp = state->piece;
    stream->wp = state->piece;
}

void PdfFileStream::drop(fz_context* context, void* state)
{
    FileState* file = static_cast<FileState*>(state);
    ::close(file->descriptor);
    fz_free(context, file);
}
