#pragma once

#include <QString>

// The media facts of one video: what the MediaInfo library and its JSON report tell about it.
// Numbers start at 0 and texts empty; a fact that cannot be read stays so.
struct VideoInfo {
    QString baseName;
    QString filePath;
    QString fileExtension;
    QString videoFormat;
    QString audioFormat;
    int fileSize = 0;
    int width = 0;
    int height = 0;
    double duration = 0.0;
    double videoDuration = 0.0;
    double audioDuration = 0.0;
    double frameRate = 0.0;
    int bitRate = 0;
    int channels = 0;
    int samplingRate = 0;
};
