#include "FilePlacement.h"

#include <cerrno>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
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

FilePlacement::NewName FilePlacement::moveToNew(const QString& from, const QString& to,
                                                const std::atomic_bool* stop)
{
    if (renameToNew(from, to))
        return NewName::Placed;
    if (errno == EEXIST)
        return NewName::Taken;
    if (errno != EXDEV)
        return NewName::Failed;
    const NewName copied = copyToNew(from, to, stop);
    if (copied == NewName::Placed)
        QFile::remove(from);
    return copied;
}

FilePlacement::NewName FilePlacement::copyToNew(const QString& from, const QString& to,
                                                const std::atomic_bool* stop)
{
    const QString passing = passingName(to);
    if (!writeCopy(from, passing, stop)) {
        QFile::remove(passing);
        return NewName::Failed;
    }
    if (renameToNew(passing, to))
        return NewName::Placed;
    const NewName outcome = errno == EEXIST ? NewName::Taken : NewName::Failed;
    QFile::remove(passing);
    return outcome;
}

bool FilePlacement::renameToNew(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#if defined(Q_OS_LINUX)
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // A file system without a no-replace rename: a hard link fails on a taken name just as well.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return false;
    // Nor hard links (FAT): the look and the rename are two steps there.
    struct stat status {
    };
    if (::lstat(target.constData(), &status) == 0) {
        errno = EEXIST;
        return false;
    }
    return renameOver(from, to);
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
