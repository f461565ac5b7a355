#pragma once

#include <QString>

// The options one kind keeps while the program runs (no file): compression mode (the document
// level values: 1 normal, 2 smallest, 0 clarity first), output format, output folder, scale, the
// video strength and the PDF quality. Each file is started from its own kind's record, whatever
// page is shown.
struct KindSettings {
    int mode = 2;
    bool keepFormat = true;
    bool toSourceDir = true;
    int scale = 100;
    // The folder chosen with 更改路径, ending in '/'; empty until one is chosen.
    QString outputDir;
    // The strength slider, 1 to 100.
    int strength = 100;
    // The PDF quality as typed; empty leaves it to the mode.
    QString pdfQuality = "10";
};
