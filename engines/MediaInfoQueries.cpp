#include "MediaInfoQueries.h"

#include <initializer_list>
#include <locale.h>

#include <QStringList>
#include <QTextCodec>

// The library's own run-time loader, with its wide-text entry points, loading the shared object
// that PlatformConstants names.
#include "PlatformConstants.h"
#ifndef UNICODE
#define UNICODE
#endif
#define MEDIAINFODLL_NAME VX_MEDIAINFO_LIBRARY
#include <MediaInfoDLL/MediaInfoDLL.h>

namespace
{
using MediaInfoDLL::MediaInfo;

// The library turns a wide path into file-system bytes with the C library's multibyte
// conversion, which follows the thread's LC_CTYPE. Qt names files in UTF-8 here, so for the
// length of a query this thread uses a UTF-8 character type: a non-ASCII path then opens even
// when the process runs in the plain "C" locale. The process-wide locale is not touched.
class Utf8CharacterType
{
public:
    Utf8CharacterType()
    {
        if (QTextCodec::codecForLocale()->mibEnum() != 106) // file names are not UTF-8
            return;
        m_utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        if (m_utf8)
            m_previous = uselocale(m_utf8);
    }
    ~Utf8CharacterType()
    {
        if (!m_utf8)
            return;
        uselocale(m_previous);
        freelocale(m_utf8);
    }
    Utf8CharacterType(const Utf8CharacterType&) = delete;
    Utf8CharacterType& operator=(const Utf8CharacterType&) = delete;

private:
    locale_t m_utf8 = locale_t(nullptr);
    locale_t m_previous = locale_t(nullptr);
};

// One value of stream `number` of `stream`, by parameter name, as text.
QString valueOf(MediaInfo& info, MediaInfoDLL::stream_t stream, size_t number, const wchar_t* parameter)
{
    return QString::fromStdWString(
        info.Get(stream, number, parameter, MediaInfoDLL::Info_Text, MediaInfoDLL::Info_Name));
}

// Opens `path` on a fresh handle and asks stream 0 of `stream` for each parameter by name, as text.
QStringList queryValues(const QString& path, MediaInfoDLL::stream_t stream,
                        std::initializer_list<const wchar_t*> parameters)
{
    const Utf8CharacterType utf8;
    MediaInfo info;
    info.Open(path.toStdWString());
    QStringList values;
    // Get's text lives only until the next call: the wrapper copies it into a std::wstring.
    for (const wchar_t* parameter : parameters)
        values.append(valueOf(info, stream, 0, parameter));
    info.Close();
    return values;
}

// Degrees of a rotation text ("90.000", "-90"), brought into 0 to 359; 0 when there is none.
int rotationOf(const QString& text)
{
    const int degrees = qRound(text.toDouble());
    return (degrees % 360 + 360) % 360;
}

bool streamForKind(int kind, MediaInfoDLL::stream_t* stream)
{
    if (kind == 0)
        *stream = MediaInfoDLL::Stream_Video;
    else if (kind == 1)
        *stream = MediaInfoDLL::Stream_Image;
    else
        return false;
    return true;
}
} // namespace

QSize getMediaSize(const QString& path, int kind)
{
    MediaInfoDLL::stream_t stream;
    if (!streamForKind(kind, &stream))
        return QSize(0, 0);
    const QStringList values = queryValues(path, stream, {L"Width", L"Height"});
    // A leading "0" turns an empty value into 0; anything that is not a number gives 0 as well.
    const int width = ("0" + values.at(0)).toInt(nullptr, 10);
    const int height = ("0" + values.at(1)).toInt(nullptr, 10);
    return QSize(width, height);
}

double getMediaDuration(const QString& path)
{
    return queryValues(path, MediaInfoDLL::Stream_Video, {L"Duration"}).at(0).toDouble();
}

QString getMediaFormat(const QString& path, int kind)
{
    MediaInfoDLL::stream_t stream;
    if (!streamForKind(kind, &stream))
        return QString();
    return queryValues(path, stream, {L"Format"}).at(0);
}

bool isHevc(const QString& path)
{
    return queryValues(path, MediaInfoDLL::Stream_Video, {L"Format"}).at(0) == "HEVC";
}

int getFrameCount(const QString& path)
{
    return queryValues(path, MediaInfoDLL::Stream_Video, {L"FrameCount"}).at(0).toInt(nullptr, 10);
}

MediaStreams getMediaStreams(const QString& path)
{
    const Utf8CharacterType utf8;
    MediaInfo info;
    info.Open(path.toStdWString());
    MediaStreams streams;
    streams.rotation = rotationOf(valueOf(info, MediaInfoDLL::Stream_Video, 0, L"Rotation"));
    streams.bitDepth = valueOf(info, MediaInfoDLL::Stream_Video, 0, L"BitDepth").toInt(nullptr, 10);
    streams.duration = valueOf(info, MediaInfoDLL::Stream_Video, 0, L"Duration").toDouble();
    streams.frameCount = valueOf(info, MediaInfoDLL::Stream_Video, 0, L"FrameCount").toInt(nullptr, 10);
    streams.videoCount = int(info.Count_Get(MediaInfoDLL::Stream_Video));
    streams.audioCount = int(info.Count_Get(MediaInfoDLL::Stream_Audio));
    streams.truncated = valueOf(info, MediaInfoDLL::Stream_General, 0, L"IsTruncated") == "Yes";
    const size_t texts = info.Count_Get(MediaInfoDLL::Stream_Text);
    for (size_t i = 0; i < texts; ++i) {
        // Captions inside the video stream have an ID of the form "<video ID>-<service>".
        if (valueOf(info, MediaInfoDLL::Stream_Text, i, L"ID").contains('-'))
            continue;
        streams.subtitleFormats.append(valueOf(info, MediaInfoDLL::Stream_Text, i, L"Format"));
    }
    streams.scanType = valueOf(info, MediaInfoDLL::Stream_Video, 0, L"ScanType");
    streams.scanOrder = valueOf(info, MediaInfoDLL::Stream_Video, 0, L"ScanOrder");
    streams.format = valueOf(info, MediaInfoDLL::Stream_General, 0, L"Format");
    // One "Yes" per cover picture, and the attachments' file names, each list parted by " / ".
    streams.coverCount = valueOf(info, MediaInfoDLL::Stream_General, 0, L"Cover").split(" / ").count("Yes");
    const QString attachments = valueOf(info, MediaInfoDLL::Stream_General, 0, L"Attachments");
    streams.attachmentCount = attachments.isEmpty() ? 0 : attachments.split(" / ").size();
    info.Close();
    return streams;
}
