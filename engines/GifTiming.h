#pragma once

#include <QByteArray>
#include <QString>

// How long a GIF shows its frames, read from its blocks without decoding a picture: the frames and
// the delay that each frame's graphic control block gives it, in hundredths of a second. gifsicle
// merges a frame into the one before it when they show the same picture, adding its delay, so a
// whole result may hold fewer frames than its source but shows for the same time.
class GifTiming
{
public:
    // The timing of the GIF at `path`; not valid() when it is no GIF or its blocks end early.
    static GifTiming of(const QString& path);

    bool isValid() const { return m_valid; }
    int frames() const { return m_frames; }
    // Sum of the frames' delays.
    int totalCentiseconds() const { return m_total; }
    // The delay of the frame shown for the shortest time (0 when there is no frame).
    int shortestCentiseconds() const { return m_shortest; }

private:
    bool readBlocks(const QByteArray& bytes);
    void addFrame(int delay);

    bool m_valid = false;
    int m_frames = 0;
    int m_total = 0;
    int m_shortest = 0;
};
