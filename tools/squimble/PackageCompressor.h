#pragma once

#include <functional>

#include <QString>

#include "CompressionProfile.h"

typedef struct zip zip_t;

// Rewrites one .docx/.pptx package: pictures re-encoded by the profile, every other part copied
// byte for byte, every entry deflated at the best level, entries in the input's order. The
// output is written in the system's temporary folder and moved to its name only when it is
// complete and opens again as a package; a result larger than the input is replaced by the
// input's bytes.
class PackageCompressor
{
public:
    // progress receives whole percents from 0 to 99 as the work advances.
    PackageCompressor(const CompressionProfile& profile, std::function<void(int)> progress);

    // On failure returns false with a one-line reason that starts with "Not".
    bool run(const QString& inputPath, const QString& outputPath, QString* reason);

private:
    bool writePackage(const QString& inputPath, const QString& stagedPath, const QString& outputPath,
                      QString* reason);
    static bool moveInto(const QString& staged, const QString& outputPath);
    bool copyEntries(zip_t* source, zip_t* target, const QString& inputPath, QString* reason);
    bool verifyOutput(const QString& stagedPath, const QString& outputPath, qint64 expectedEntries,
                      QString* reason) const;
    void report(int percent);

    static void onWriteProgress(zip_t* archive, double done, void* self);

    CompressionProfile m_profile;
    std::function<void(int)> m_progress;
    int m_lastPercent;
};
