#pragma once

#include <QString>

// What an encoder left in a video file's stream.
class VideoStream
{
public:
    // The constant-rate factor that x264 or x265 wrote among its settings in the stream ("crf=27.0"),
    // or -1 when the file names none (an MPEG-4 Part 2 stream, for one, carries no such setting).
    static int crfOf(const QString& path);
};
