#pragma once

// The video options handed to the video engine: the source's pixel size as the media facts gave
// it, the scale factor (the entered percentage / 100) and the constant-rate factor.
struct VideoCompressParam {
    int width = 0;
    int height = 0;
    float scale = 1.0f;
    int crf = 24;
};
