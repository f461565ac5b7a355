#include "GifTiming.h"

#include <QFile>

namespace
{
const int kHeaderSize = 13; // signature, version and the logical screen
const char kExtension = 0x21;
const char kImage = 0x2C;
const char kTrailer = 0x3B;
const unsigned char kGraphicControl = 0xF9;

int byteAt(const QByteArray& bytes, qint64 at)
{
    return at < bytes.size() ? int(static_cast<unsigned char>(bytes.at(int(at)))) : -1;
}

// The bytes a colour table takes whose presence and size a packed field states.
qint64 colourTableSize(int packed)
{
    return (packed & 0x80) ? 3 * (qint64(2) << (packed & 0x07)) : 0;
}

// The position after the data sub-blocks that start at `at`, or -1 when they run past the end.
qint64 skipSubBlocks(const QByteArray& bytes, qint64 at)
{
    for (int size = byteAt(bytes, at); size > 0; size = byteAt(bytes, at))
        at += 1 + size;
    return byteAt(bytes, at) == 0 ? at + 1 : -1;
}
} // namespace

GifTiming GifTiming::of(const QString& path)
{
    GifTiming timing;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        timing.m_valid = timing.readBlocks(file.readAll());
    return timing;
}

bool GifTiming::readBlocks(const QByteArray& bytes)
{
    if (bytes.size() < kHeaderSize || !(bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")))
        return false;
    qint64 at = kHeaderSize + colourTableSize(byteAt(bytes, 10));
    int delay = 0; // of the next frame, from the graphic control block before it
    while (at >= 0 && at < bytes.size()) {
        const char introducer = bytes.at(int(at));
        if (introducer == kTrailer)
            return true;
        if (introducer == kExtension) {
            if (byteAt(bytes, at + 1) == kGraphicControl && byteAt(bytes, at + 2) == 4 &&
                byteAt(bytes, at + 5) >= 0)
                delay = byteAt(bytes, at + 4) | byteAt(bytes, at + 5) << 8;
            at = skipSubBlocks(bytes, at + 2);
        } else if (introducer == kImage) {
            const int packed = byteAt(bytes, at + 9);
            if (packed < 0)
                return false;
            // Past the descriptor, the local colour table and the LZW code size to the picture's data.
            at = skipSubBlocks(bytes, at + 10 + colourTableSize(packed) + 1);
            addFrame(delay);
            delay = 0;
        } else {
            return false;
        }
    }
    return false;
}

void GifTiming::addFrame(int delay)
{
    m_shortest = m_frames == 0 ? delay : qMin(m_shortest, delay);
    ++m_frames;
    m_total += delay;
}
