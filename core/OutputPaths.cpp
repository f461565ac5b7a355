#include "OutputPaths.h"

#include <QFileInfo>

#include "PathKey.h"
#include "PlacedResults.h"

QMutex OutputPaths::s_mutex;
QSet<QString> OutputPaths::s_claimed;
QSet<QString> OutputPaths::s_protected;
QHash<QString, QString> OutputPaths::s_wanted;

void OutputPaths::reset()
{
    QMutexLocker locker(&s_mutex);
    s_claimed.clear();
    s_protected.clear();
    s_wanted.clear();
}

void OutputPaths::protect(const QStringList& inputs)
{
    QMutexLocker locker(&s_mutex);
    for (const QString& input : inputs) {
        s_protected.insert(PathKey::of(input));
        // A queued link protects the file it stands for as well.
        const QString target = QFileInfo(input).canonicalFilePath();
        if (!target.isEmpty())
            s_protected.insert(PathKey::of(target));
    }
}

QString OutputPaths::claim(const QString& wanted, const QString& input)
{
    QMutexLocker locker(&s_mutex);
    return claimLocked(wanted, input);
}

QString OutputPaths::claimLocked(const QString& wanted, const QString& input)
{
    QString path = wanted;
    for (int number = 2; !isFreeFor(path, input); ++number)
        path = numbered(wanted, number);
    const QString key = PathKey::of(path);
    s_claimed.insert(key);
    s_wanted.insert(key, wanted);
    return path;
}

void OutputPaths::release(const QString& path)
{
    QMutexLocker locker(&s_mutex);
    const QString key = PathKey::of(path);
    s_claimed.remove(key);
    s_wanted.remove(key);
}

QString OutputPaths::next(const QString& taken, const QString& input)
{
    QMutexLocker locker(&s_mutex);
    const QString key = PathKey::of(taken);
    s_claimed.insert(key);
    return claimLocked(s_wanted.value(key, taken), input);
}

QString OutputPaths::numbered(const QString& path, int number)
{
    const int slash = path.lastIndexOf('/');
    const int dot = path.lastIndexOf('.');
    // A dot that starts the name (".hidden") is no extension.
    const bool hasExtension = dot > slash + 1;
    const int at = hasExtension ? dot : path.size();
    return path.left(at) + '_' + QString::number(number) + path.mid(at);
}

bool OutputPaths::isFreeFor(const QString& path, const QString& input)
{
    const QString key = PathKey::of(path);
    if (s_claimed.contains(key) || s_protected.contains(key) || PathKey::same(path, input))
        return false;
    // Whatever is there (a file, a folder, a link, even a dangling one) is left alone unless we wrote it.
    const QFileInfo there(path);
    if (!there.exists() && !there.isSymLink())
        return true;
    return (there.isFile() || there.isSymLink()) && PlacedResults::holdsOwn(path, input);
}
