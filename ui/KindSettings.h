#pragma once

// The options one kind keeps while the program runs (no file): compression mode (the document
// level values: 1 normal, 2 smallest, 0 clarity first), output format, output folder and scale.
struct KindSettings {
    int mode = 2;
    bool keepFormat = true;
    bool toSourceDir = true;
    int scale = 100;
};
