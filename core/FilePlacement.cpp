#include "FilePlacement.h"

#include <cstdio>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

#include <QCoreApplication>
#include <QFile>

namespace
{
// Bytes read and written at a time: a video may be larger than memory.
const qint64 kCopyChunk = 1024 * 1024;
} // namespace

QString FilePlacement::passingName(const QString& path, qint64 pid)
{
    return QString("%1.%2.tmp").arg(path).arg(pid);
}

QString FilePlacement::passingName(const QString& path)
{
    return passingName(path, QCoreApplication::applicationPid());
}

bool FilePlacement::move(const QString& from, const QString& to, const std::atomic_bool* stop)
{
    if (renameOver(from, to))
        return true;
    // Most likely another file system, where no rename reaches.
    if (!copy(from, to, stop))
        return false;
    QFile::remove(from);
    return true;
}

bool FilePlacement::copy(const QString& from, const QString& to, const std::atomic_bool* stop)
{
    const QString passing = passingName(to);
    if (writeCopy(from, passing, stop) && renameOver(passing, to))
        return true;
    QFile::remove(passing);
    return false;
}

bool FilePlacement::renameOver(const QString& from, const QString& to)
{
    // Unlike QFile::rename, which refuses an existing target, this replaces it in one step; a
    // symbolic link at `to` is replaced itself, never followed.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool FilePlacement::writeCopy(const QString& from, const QString& to, const std::atomic_bool* stop)
{
    const auto stopped = [stop] { return stop && stop->load(); };
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    // The passing name is made new, never opened through whatever holds it already: a link there
    // would send the bytes into the file it points at.
    QFile::remove(to);
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    while (!source.atEnd()) {
        if (stopped())
            return false;
        const QByteArray chunk = source.read(kCopyChunk);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size())
            return false;
    }
    if (!target.flush() || stopped())
        return false;
#if defined(Q_OS_UNIX)
    // On the disk before the rename makes it the final file, so a power cut cannot leave it empty.
    if (::fsync(target.handle()) != 0)
        return false;
#endif
    target.close();
    return target.error() == QFileDevice::NoError;
}
