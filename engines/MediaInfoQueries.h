#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// Single facts of a media file read through the MediaInfo library, which is loaded at run time.
// Each call opens its own handle and closes it again; nothing is cached. Whatever cannot be read
// (no library, no such file, no such stream or value) comes back as 0, 0.0 or an empty text.

// Pixel size of video stream 0 (kind 0) or image stream 0 (kind 1); 0 x 0 for any other kind.
QSize getMediaSize(const QString& path, int kind);
// Duration of video stream 0 in milliseconds.
double getMediaDuration(const QString& path);
// Format name of video stream 0 (kind 0) or image stream 0 (kind 1); empty for any other kind.
QString getMediaFormat(const QString& path, int kind);
// Whether video stream 0 is HEVC.
bool isHevc(const QString& path);
// Number of frames of video stream 0.
int getFrameCount(const QString& path);

// What a file's streams hold beyond its picture size: what the video engine's command depends on, and
// what a whole result of it must hold.
struct MediaStreams {
    int rotation = 0;            // of video stream 0, in degrees 0 to 359, as the library states it
    int bitDepth = 0;            // bits per sample of video stream 0
    double duration = 0;         // of video stream 0, in milliseconds, as getMediaDuration gives it
    bool truncated = false;      // the file ends before its header says it does (cut off)
    int frameCount = 0;          // of video stream 0, as getFrameCount gives it
    int videoCount = 0;          // video streams (a cover picture counts as one)
    int audioCount = 0;          // sound tracks
    QStringList subtitleFormats; // the format of each subtitle track the container holds, in order
    QString scanType;            // of video stream 0: "Progressive", "Interlaced", "MBAFF", "Mixed"...
    QString scanOrder;           // of video stream 0: "TFF", "BFF"... for an interlaced one
    QString format;              // the container: "MPEG-4" (MP4 and MOV), "Matroska"...
    int coverCount = 0;          // cover pictures (an MP4's or a Matroska file's)
    int attachmentCount = 0;     // files attached to a Matroska file (fonts, cover pictures)
};

// The streams of `path`, read with one handle. Captions carried inside the video stream are no
// subtitle tracks of the container, so they are not listed.
MediaStreams getMediaStreams(const QString& path);
