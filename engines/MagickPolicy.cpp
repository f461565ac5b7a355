#include "MagickPolicy.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSaveFile>

namespace
{
// Sides of up to 2 billion pixels, so that the formats' own limits (65,500 for a JPEG) are the ones
// that count. A picture of 9999 x 9999, the largest size the window's fields take, holds 800 MB at
// ImageMagick's 16 bits a sample, and flattening it takes a second such image: one lives in memory,
// the other in a mapped file, where Debian's bounds (256 MiB, 512 MiB) sent both to a cache on disk
// that took minutes. Four such jobs at once hold 4 GiB of memory, and mapped files that the system
// may write out: a desktop of 8 GB keeps up. The area and disk bounds are
// Debian's, and a picture beyond them ends convert with an error instead of taking the machine's
// memory.
const char kPolicy[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<policymap>\n"
                       "  <policy domain=\"resource\" name=\"width\" value=\"2GP\"/>\n"
                       "  <policy domain=\"resource\" name=\"height\" value=\"2GP\"/>\n"
                       "  <policy domain=\"resource\" name=\"area\" value=\"128MP\"/>\n"
                       "  <policy domain=\"resource\" name=\"memory\" value=\"1GiB\"/>\n"
                       "  <policy domain=\"resource\" name=\"map\" value=\"1GiB\"/>\n"
                       "  <policy domain=\"resource\" name=\"disk\" value=\"1GiB\"/>\n"
                       "</policymap>\n";
} // namespace

bool MagickPolicy::write(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    QSaveFile file(QDir(folder).filePath("policy.xml"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 size = qint64(sizeof(kPolicy)) - 1;
    return file.write(kPolicy, size) == size && file.commit();
}

void MagickPolicy::apply(QProcess* process, const QString& folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString others = environment.value("MAGICK_CONFIGURE_PATH");
    environment.insert("MAGICK_CONFIGURE_PATH",
                       others.isEmpty() ? folder : folder + QDir::listSeparator() + others);
    environment.insert("MAGICK_TEMPORARY_PATH", folder);
    process->setProcessEnvironment(environment);
}
