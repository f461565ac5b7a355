#pragma once

#include <QByteArray>
#include <QString>

#include "ToolCommand.h"

class BlockingToolRun;

// How long a video plays, and how many frames its film holds, as ffmpeg reads its film and sound
// through without decoding them: from the earliest start of those streams to the latest end. A file
// whose streams start late (a cut made with stream copy, a camera's clock) counts only what plays,
// and a file cut off counts what is there. Every container is read alike, from the times of what it
// holds, where the media library dates a stream's start from each container's own fields (from a
// codec header in an FLV, not at all in a WMV) and reads a length from a header that may count the
// pause before the first frame. The platform's ffmpeg reads, whatever program compresses. Unknown (0)
// when ffmpeg cannot read the file through.
class PlayingTime
{
public:
    PlayingTime() = default;

    // ffmpeg copying the film (the first video stream that is no cover picture) and every sound track
    // of `path` into nothing, with its progress blocks on its standard output and nothing else.
    static ToolCommand command(const QString& path);
    // How long that run may take, in milliseconds: a minute, and a second more for every 10 MB of the
    // file (it reads far faster than that).
    static int timeLimitFor(const QString& path);
    // What the end block of that run's output says; unknown without one.
    static PlayingTime fromOutput(const QByteArray& output);
    // Runs the command on the calling thread, which must not be the window's, within its time limit;
    // through `run`, when given, another thread can end it. Unknown unless ffmpeg exits with 0.
    static PlayingTime of(const QString& path, BlockingToolRun* run = nullptr);

    bool isKnown() const { return m_milliseconds > 0; }
    double milliseconds() const { return m_milliseconds; }
    // Every frame the film holds, also those an edit list leaves out at its start.
    int frames() const { return m_frames; }

private:
    double m_milliseconds = 0;
    int m_frames = 0;
};
