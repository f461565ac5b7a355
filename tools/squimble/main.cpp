// The compression tool for Word and PowerPoint packages:
//   Squimble "in.docx" "out.docx" LEVEL      (LEVEL 0 clarity first, 1 normal, 2 smallest)
// Prints two-digit progress figures, one a line, then "success", or one line with the reason
// (starting with "Not"). Exits 0 only on success.
#include <cstdio>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QString>

#include "CompressionProfile.h"
#include "PackageCompressor.h"

namespace
{
int fail(const QString& reason)
{
    std::printf("%s\n", reason.toUtf8().constData());
    std::fflush(stdout);
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return fail("Not started: usage: Squimble \"in\" \"out\" LEVEL (0, 1 or 2)");
    const char* levelText = argv[3];
    if (std::strlen(levelText) != 1 || levelText[0] < '0' || levelText[0] > '2')
        return fail(QString("Not started: unknown level %1").arg(QString::fromLocal8Bit(levelText)));

    const QString input = QFile::decodeName(argv[1]);
    const QString output = QFile::decodeName(argv[2]);
    if (!QFileInfo(input).isFile())
        return fail(QString("Not found: %1").arg(input));
    if (QFileInfo(input).absoluteFilePath() == QFileInfo(output).absoluteFilePath())
        return fail(QString("Not started: %1 is both input and output").arg(input));

    PackageCompressor compressor(CompressionProfile::forLevel(levelText[0] - '0'), [](int percent) {
        std::printf("%02d\n", percent);
        std::fflush(stdout);
    });
    QString reason;
    if (!compressor.run(input, output, &reason))
        return fail(reason);
    std::printf("success\n");
    std::fflush(stdout);
    return 0;
}
