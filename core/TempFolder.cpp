#include "TempFolder.h"

#include <cerrno>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include "FilePlacement.h"
#include "PlatformConstants.h"
#include "Tool.h"

namespace
{
std::mutex g_mutex;
QString g_base;       // the shared folder the current one lies in
QString g_path;       // this process's folder, with its trailing '/'; empty until made
int g_ownerLock = -1; // held on the folder while this process lives

// How long a new folder waits for its own lock: another program's clean-up may be looking at it.
const int kLockWaitMs = 5000;
// A passing list holds the few names one program is writing at a time; a longer file is not ours.
const qint64 kMostListBytes = 1024 * 1024;

QByteArray ownerText(qint64 pid)
{
    return "Vornex temporary folder of process " + QByteArray::number(pid) + '\n';
}

// The process id in a folder name of the exact form "vx-<pid>-XXXXXX"; 0 for any other name.
qint64 pidInName(const QString& name)
{
    static const QRegularExpression form("^vx-([1-9][0-9]{0,17})-[A-Za-z0-9]{6}$");
    const QRegularExpressionMatch match = form.match(name);
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

// The folder itself, never a link's target; -1 when it is no folder or cannot be opened.
int openFolder(const QString& folder)
{
    return ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool tryLock(int folder)
{
    return ::flock(folder, LOCK_EX | LOCK_NB) == 0;
}

bool lockWithin(int folder, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!tryLock(folder)) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited.elapsed() > waitMs)
            return false;
        QThread::msleep(2);
    }
    return true;
}

bool writeOwnerFile(int folder, qint64 pid)
{
    const int fd =
        ::openat(folder, TempFolder::kOwnerFile, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray text = ownerText(pid);
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    return ::close(fd) == 0 && written;
}

// The bytes of the regular file `name` in `folder`, never read through a link; false when there is
// no such file or it is larger than `most`.
bool readFileIn(int folder, const char* name, qint64 most, QByteArray* bytes)
{
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {
    };
    QFile file;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > most ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    *bytes = file.read(most + 1);
    return bytes->size() <= most && file.error() == QFileDevice::NoError;
}

bool hasOwnerFile(int folder, qint64 pid)
{
    QByteArray text;
    return readFileIn(folder, TempFolder::kOwnerFile, 256, &text) && text == ownerText(pid);
}

// Whether `entry` is a passing name of the process `pid` beside a file of an absolute path.
bool isPassingNameOf(const QByteArray& entry, qint64 pid)
{
    const QString passing = QFile::decodeName(entry);
    const QString ending = FilePlacement::passingName(QString(), pid);
    if (!passing.endsWith(ending))
        return false;
    const QString final = passing.left(passing.size() - ending.size());
    return QDir::isAbsolutePath(final) && !final.endsWith('/') &&
           QFile::encodeName(FilePlacement::passingName(final, pid)) == entry;
}

// Removes the passing copies that the ended program `pid` was writing beside results, as its list
// names them; only regular files of the exact passing name go.
void removePassingCopies(int folder, qint64 pid)
{
    QByteArray list;
    if (!readFileIn(folder, TempFolder::kPassingList, kMostListBytes, &list))
        return;
    for (const QByteArray& entry : list.split('\0')) {
        struct stat status {
        };
        if (!isPassingNameOf(entry, pid) || ::lstat(entry.constData(), &status) != 0 ||
            !S_ISREG(status.st_mode))
            continue;
        if (::unlink(entry.constData()) == 0)
            Tool::writeLog(QString("removed %1, left by an ended program").arg(QFile::decodeName(entry)));
    }
}

// Whether `path` still names the folder that `status` describes.
bool stillTheFolder(const QString& path, const struct stat& status)
{
    struct stat now {
    };
    return ::lstat(QFile::encodeName(path).constData(), &now) == 0 && S_ISDIR(now.st_mode) &&
           now.st_dev == status.st_dev && now.st_ino == status.st_ino;
}

// Removes `path`, a folder named as this program's, when it is one of this program's that an ended
// program left: a folder of this user's, with the owner file of `pid`, whose lock is free.
bool removeIfAbandoned(const QString& path, qint64 pid)
{
    const int folder = openFolder(path);
    if (folder < 0)
        return false;
    struct stat status {
    };
    const bool abandoned = ::fstat(folder, &status) == 0 && S_ISDIR(status.st_mode) &&
                           status.st_uid == ::geteuid() && tryLock(folder) && hasOwnerFile(folder, pid);
    bool removed = false;
    if (abandoned) {
        removePassingCopies(folder, pid);
        removed = stillTheFolder(path, status) && QDir(path).removeRecursively();
    }
    ::close(folder);
    return removed;
}

QString makeFolder(const QString& base)
{
    if (!PlatformConstants::makeTempFolder())
        return QString();
    // QTemporaryDir makes the folder for its owner only; the process id tells whose it is.
    const qint64 pid = QCoreApplication::applicationPid();
    QTemporaryDir folder(QString("%1vx-%2-XXXXXX").arg(base).arg(pid));
    if (!folder.isValid())
        return QString();
    const int lock = openFolder(folder.path());
    if (lock < 0)
        return QString();
    // The owner file comes once the lock is held: a clean-up never takes a folder that is being made.
    if (!lockWithin(lock, kLockWaitMs) || !writeOwnerFile(lock, pid)) {
        ::close(lock);
        return QString();
    }
    folder.setAutoRemove(false);
    if (g_ownerLock >= 0)
        ::close(g_ownerLock);
    g_ownerLock = lock;
    return folder.path() + '/';
}

// path(), with g_mutex held.
QString currentPath()
{
    const QString base = PlatformConstants::tempFolder();
    if (!g_path.isEmpty() && base == g_base && QFileInfo(g_path).isDir())
        return g_path;
    g_base = base;
    g_path = makeFolder(base);
    return g_path;
}
} // namespace

QString TempFolder::path()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return currentPath();
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
    const QStringList names =
        QDir(base).entryList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot | QDir::Hidden);
    int removed = 0;
    for (const QString& name : names) {
        const qint64 pid = pidInName(name);
        const QString path = base + name;
        if (pid > 0 && path + '/' != g_path && removeIfAbandoned(path, pid))
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

bool TempFolder::notePassing(const QString& passing)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const QString folder = currentPath();
    if (folder.isEmpty())
        return false;
    const int fd = ::open(QFile::encodeName(folder + kPassingList).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // Names end in '\0', the one byte no path holds; one write, so a kill leaves whole names or a
    // last one cut short, which matches no passing name.
    const QByteArray entry = QFile::encodeName(passing) + '\0';
    const bool written = ::write(fd, entry.constData(), size_t(entry.size())) == entry.size();
    return ::close(fd) == 0 && written;
}

void TempFolder::dropPassing(const QString& passing)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_path.isEmpty())
        return;
    const QString path = g_path + kPassingList;
    QFile list(path);
    if (!list.open(QIODevice::ReadOnly))
        return;
    QList<QByteArray> entries = list.read(kMostListBytes).split('\0');
    list.close();
    entries.removeAll(QByteArray());
    entries.removeOne(QFile::encodeName(passing));
    if (entries.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QSaveFile rest(path);
    const QByteArray bytes = entries.join('\0') + '\0';
    if (rest.open(QIODevice::WriteOnly) && rest.write(bytes) == bytes.size())
        rest.commit();
}
