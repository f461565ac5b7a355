#pragma once

#include <QSize>
#include <QString>

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
// Number of video streams and of audio streams; 0 and 0 when the file cannot be read.
int getVideoStreamCount(const QString& path);
int getAudioStreamCount(const QString& path);
