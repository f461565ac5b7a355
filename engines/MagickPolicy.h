#pragma once

#include <QString>

class QProcess;

// ImageMagick's resource limits for the program's own convert runs. convert takes each limit from the
// first policy.xml on its configure path, and MAGICK_CONFIGURE_PATH comes first; Debian's own policy
// refuses any side over 16,000 pixels, so a panorama that JPEG and PNG hold well could not be
// compressed at all. Ours sets no side limit of its own and keeps memory, map, area and disk bounded
// as Debian's do; the system's other rules (no PDF, no URLs) still hold, as convert reads both files.
class MagickPolicy
{
public:
    // Writes policy.xml into `folder`, made when missing; false when that fails.
    static bool write(const QString& folder);
    // The tool started next on `process` reads the policy in `folder` before the system's, and keeps
    // its scratch files (the pixel cache of a picture beyond the memory bound) there too, so that they
    // go with the folder, also when the tool is killed.
    static void apply(QProcess* process, const QString& folder);
};
