#pragma once

#include <QString>
#include <QStringList>

// Real, small input files of every suffix the program takes, made with the real tools (ffmpeg,
// ImageMagick, LibreOffice, MuPDF, libzip), for the tests that run whole compressions.
class SampleFiles
{
public:
    // Writes a valid file of the kind that `path`'s suffix names (any case); false when it could not
    // be made. Legacy ".doc"/".ppt" files are converted by LibreOffice with a profile in `workDir`.
    static bool make(const QString& path, const QString& workDir);
    // Writes bytes that no tool can read, under any suffix.
    static bool makeCorrupt(const QString& path);

    static QStringList videoSuffixes() { return {"mp4", "mkv", "avi", "wmv", "mov", "flv"}; }
    static QStringList imageSuffixes() { return {"jpg", "png", "gif", "bmp"}; }

    // A 160 x 120, 25 frame/s, one-second clip with a tone, in the container that `path` ends in;
    // `codecArguments` go to ffmpeg before the output (for example another sound codec).
    static bool makeClip(const QString& path, const QStringList& codecArguments = QStringList());

    // A phone photo as a JPEG: stored 640 x 480, red on its left half and blue on its right, with EXIF
    // orientation 6, so a viewer turns it a quarter clockwise and shows it 480 x 640, red on top.
    static bool makeTurnedPhoto(const QString& path);
    // A 120 x 80 BMP, red on its upper half and blue on its lower, whose rows are stored top first, as
    // scanners and Windows programs write them: its header gives its height as -80.
    static bool makeTopDownBmp(const QString& path);

    // A PDF as LibreOffice Writer exports one: `pages` pages, each a line of text ("Page 3 of 7") and
    // a photograph, written from a flat ODF text document with the PDF export's filter options
    // `options` (JSON, as soffice --convert-to takes them: {"SelectPdfVersion":...}), by a
    // LibreOffice with its profile in workDir. LibreOffice needs a writable HOME.
    static bool makeWriterPdf(const QString& path, const QString& workDir, int pages, const QString& options);

private:
    static bool makeImage(const QString& path);
    static bool makeOffice(const QString& path, const QString& workDir);
    static bool makeLegacy(const QString& path, const QString& workDir);
};
