#include "ResultCheck.h"

#include <cmath>

#include <zip.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include "GifTiming.h"
#include "MediaInfoQueries.h"
#include "PictureHeader.h"
#include "PlayingTime.h"
#include "QPdfDocument.h"

namespace
{
// A duration that differs by no more than this share, or this many milliseconds, is the same.
const double kDurationShare = 0.02;
const double kDurationSlackMs = 1000.0;

QByteArray lastBytes(const QString& path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const qint64 size = file.size();
    file.seek(qMax<qint64>(0, size - count));
    return file.read(count);
}

QByteArray firstBytes(const QString& path, qint64 count)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(count) : QByteArray();
}

bool isJpeg(const QByteArray& head)
{
    return head.startsWith("\xFF\xD8");
}

bool isPng(const QByteArray& head)
{
    return head.startsWith("\x89PNG\r\n\x1A\n");
}

QString sizeText(const QSize& size)
{
    return QString("%1x%2").arg(size.width()).arg(size.height());
}

// Reads one part of an open package to its end: the library checks its CRC on the way.
bool partReadsBack(zip_t* archive, zip_uint64_t index)
{
    zip_file_t* part = zip_fopen_index(archive, index, 0);
    if (!part)
        return false;
    char buffer[64 * 1024];
    zip_int64_t read = 0;
    while ((read = zip_fread(part, buffer, sizeof buffer)) > 0) {
    }
    return zip_fclose(part) == 0 && read == 0;
}
} // namespace

QString ResultCheck::video(const QString& result, double wanted, int audioStreams, BlockingToolRun* run)
{
    const MediaStreams streams = getMediaStreams(result);
    if (streams.videoCount < 1)
        return "no video stream";
    if (streams.audioCount != audioStreams)
        return QString("%1 audio streams instead of %2").arg(streams.audioCount).arg(audioStreams);
    // A file that ends before its header says is cut off, however long what is left of it plays.
    if (streams.truncated)
        return "it is cut off";
    if (wanted <= 0)
        return QString();
    const PlayingTime played = PlayingTime::of(result, run);
    if (!played.isKnown())
        return "it cannot be read through";
    const double length = played.milliseconds();
    if (std::fabs(length - wanted) > qMax(wanted * kDurationShare, kDurationSlackMs))
        return QString("it lasts %1 ms instead of %2 ms").arg(qint64(length)).arg(qint64(wanted));
    return QString();
}

QString ResultCheck::gif(const QString& result, int wanted, const GifTiming& source)
{
    // A decoder shows the frames of a cut-off GIF that it could read; the trailer byte tells.
    if (lastBytes(result, 1) != ";")
        return "the GIF has no trailer";
    QImageReader reader(result, "gif");
    int frames = 0;
    while (reader.canRead()) {
        if (reader.read().isNull())
            return QString("frame %1 does not decode (%2)").arg(frames + 1).arg(reader.errorString());
        ++frames;
    }
    if (frames < 1)
        return "0 frames instead of at least 1";
    if (wanted > 0 && frames > wanted)
        return QString("%1 frames instead of at most %2").arg(frames).arg(wanted);
    if (!source.isValid())
        return QString();
    const GifTiming timing = GifTiming::of(result);
    const int shown = timing.totalCentiseconds();
    const int sourceShown = source.totalCentiseconds();
    if (!timing.isValid() || qAbs(shown - sourceShown) >= qMax(1, source.shortestCentiseconds()))
        return QString("it shows for %1 ms instead of %2 ms").arg(shown * 10).arg(sourceShown * 10);
    return QString();
}

QString ResultCheck::picture(const QString& result, const QSize& size)
{
    const QString end = pictureEnd(result);
    if (!end.isEmpty())
        return end;
    QImageReader reader(result);
    reader.setDecideFormatFromContent(true);
    const QSize found = PictureHeader::size(reader);
    if (found != size)
        return QString("it is %1 instead of %2").arg(sizeText(found), sizeText(size));
    if (reader.format() == "jpeg") // libjpeg decodes an eighth fast, still reading all the coded data
        reader.setScaledSize(QSize(qMax(1, size.width() / 8), qMax(1, size.height() / 8)));
    if (reader.read().isNull())
        return "it does not decode (" + reader.errorString() + ")";
    return QString();
}

QString ResultCheck::pngFrames(const QString& result, int frames)
{
    const int found = pngFrameCount(result);
    return found == frames ? QString() : QString("%1 frames instead of %2").arg(found).arg(frames);
}

int ResultCheck::pngFrameCount(const QString& path)
{
    // The chunk headers only: an animated PNG says how many frames it has in its "acTL" chunk, which
    // comes before the picture data; a still one has none.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !isPng(file.read(8)))
        return 0;
    while (true) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return 1;
        const QByteArray type = header.mid(4, 4);
        if (type == "acTL") {
            const QByteArray count = file.read(4);
            return count.size() < 4 ? 0 : int(qFromBigEndian<quint32>(count.constData()));
        }
        if (type == "IDAT" || type == "IEND")
            return 1;
        const quint32 length = qFromBigEndian<quint32>(header.constData());
        if (!file.seek(file.pos() + qint64(length) + 4)) // the data and its CRC
            return 1;
    }
}

QString ResultCheck::pictureEnd(const QString& result)
{
    // A decoder shows a cut-off picture with its lower part grey; the file's last bytes tell.
    const QByteArray head = firstBytes(result, 8);
    if (isJpeg(head))
        return lastBytes(result, 2) == "\xFF\xD9" ? QString() : QString("the JPEG has no end marker");
    if (isPng(head)) {
        const QByteArray end("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
        return lastBytes(result, 12) == end ? QString() : QString("the PNG has no end chunk");
    }
    return "neither a JPEG nor a PNG";
}

QString ResultCheck::pdf(const QString& result, int pages)
{
    if (!lastBytes(result, 1024).contains("%%EOF"))
        return "the PDF has no end-of-file marker";
    QPdfDocument document(result, nullptr);
    if (!document.open())
        return "the PDF does not open";
    if (document.pageCount() != pages)
        return QString("%1 pages instead of %2").arg(document.pageCount()).arg(pages);
    return QString();
}

QString ResultCheck::package(const QString& result)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(result).constData(), ZIP_CHECKCONS | ZIP_RDONLY, &error);
    if (!archive)
        return "the package does not open";
    const zip_int64_t parts = zip_get_num_entries(archive, 0);
    QString wanting = parts > 0 ? QString() : QString("the package is empty");
    for (zip_int64_t index = 0; index < parts && wanting.isEmpty(); ++index) {
        if (!partReadsBack(archive, zip_uint64_t(index)))
            wanting =
                QString("part %1 of the package does not read back").arg(zip_get_name(archive, index, 0));
    }
    zip_discard(archive);
    return wanting;
}
