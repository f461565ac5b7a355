#pragma once

#include <QSize>
#include <QString>

class BlockingToolRun;
class GifTiming;

// Whether a finished result is whole, by its kind: each check reads the written file through, as a
// player or viewer would, and names what is wrong with it, or gives an empty text when it is whole.
// A tool that runs out of disk space, or is stopped half-way, may still end as if it had succeeded;
// its result is then cut off, and these checks are what keeps it from taking the output's name. Any
// thread: ResultSettler runs them on its own.
class ResultCheck
{
public:
    // A video: the media-information library finds its video stream and `audioStreams` audio streams,
    // does not find it cut off, and it plays for `duration` milliseconds as its source did, both read
    // through alike (PlayingTime, however late their streams start), within 2 %, or within 1 s for a
    // short one; a source of unknown length, 0, holds it to nothing. Through `run`, when given,
    // another thread can end the reading.
    static QString video(const QString& result, double duration, int audioStreams,
                         BlockingToolRun* run = nullptr);
    // A GIF: every frame decodes, there is at least one and no more than `frames` (when known, above
    // 0), and they show for as long as the source's frames did (`source`, when valid), within less
    // than the source's shortest frame: gifsicle merges a frame shown twice in a row into one.
    static QString gif(const QString& result, int frames, const GifTiming& source);
    // A JPG or PNG: it is complete and decodes at `size`.
    static QString picture(const QString& result, const QSize& size);
    // A PNG: it holds `frames` frames, as its source did (an animated PNG more than one).
    static QString pngFrames(const QString& result, int frames);
    // The frames of a PNG: those its animation control names, 1 for a still picture, 0 when the file
    // is no PNG.
    static int pngFrameCount(const QString& path);
    // A PDF: it is complete and opens with `pages` pages.
    static QString pdf(const QString& result, int pages);
    // A .docx or .pptx: a ZIP package whose every part reads back.
    static QString package(const QString& result);

private:
    static QString pictureEnd(const QString& result);
};
