#include "TempFolder.h"

#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "PlatformConstants.h"

namespace
{
std::mutex g_mutex;
QString g_base;       // the shared folder the current one lies in
QString g_path;       // this process's folder, with its trailing '/'; empty until made
int g_ownerLock = -1; // held on the folder while this process lives

// Opens the folder and locks it; -1 when the lock is held by a running program (or the folder cannot
// be opened).
int lockFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QString makeFolder(const QString& base)
{
    if (!PlatformConstants::makeTempFolder())
        return QString();
    // QTemporaryDir makes the folder for its owner only; the process id tells whose it is.
    QTemporaryDir folder(QString("%1vx-%2-XXXXXX").arg(base).arg(QCoreApplication::applicationPid()));
    if (!folder.isValid())
        return QString();
    const int lock = lockFolder(folder.path());
    if (lock < 0)
        return QString();
    folder.setAutoRemove(false);
    if (g_ownerLock >= 0)
        ::close(g_ownerLock);
    g_ownerLock = lock;
    return folder.path() + '/';
}

bool processRuns(const QString& folderName)
{
    const qint64 pid = folderName.section('-', 1, 1).toLongLong();
    return pid <= 0 || QFileInfo::exists(QString("/proc/%1").arg(pid));
}

// Whether the program that made `folder` has ended: the folder's lock is free. Its process id, in the
// folder's name, says so too, unless another process has that id by now; a folder made a moment ago
// may not be locked yet by the program that made it.
bool isAbandoned(const QFileInfo& folder)
{
    const int fd = lockFolder(folder.absoluteFilePath());
    if (fd < 0)
        return false;
    ::close(fd);
    return !processRuns(folder.fileName()) || folder.lastModified().secsTo(QDateTime::currentDateTime()) > 60;
}
} // namespace

QString TempFolder::path()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const QString base = PlatformConstants::tempFolder();
    if (!g_path.isEmpty() && base == g_base && QFileInfo(g_path).isDir())
        return g_path;
    g_base = base;
    g_path = makeFolder(base);
    return g_path;
}

bool TempFolder::remove()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_path.isEmpty())
        return true;
    QDir folder(g_path);
    const bool removed = !folder.exists() || folder.removeRecursively();
    if (removed) {
        g_path.clear();
        if (g_ownerLock >= 0)
            ::close(g_ownerLock);
        g_ownerLock = -1;
    }
    return removed;
}

int TempFolder::removeAbandoned()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const QString base = PlatformConstants::tempFolder();
    const QFileInfoList folders =
        QDir(base).entryInfoList({"vx-*"}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    int removed = 0;
    for (const QFileInfo& folder : folders) {
        const QString path = folder.absoluteFilePath();
        if (folder.isSymLink() || path + '/' == g_path || !isAbandoned(folder))
            continue;
        if (QDir(path).removeRecursively())
            ++removed;
    }
    return removed;
}

QString TempFolder::jobFolder(const QString& prefix)
{
    const QString base = path();
    if (base.isEmpty())
        return QString();
    QTemporaryDir folder(base + prefix + "-XXXXXX");
    if (!folder.isValid())
        return QString();
    folder.setAutoRemove(false);
    return folder.path();
}
