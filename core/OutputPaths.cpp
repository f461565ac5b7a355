#include "OutputPaths.h"

#include <QFileInfo>

#include "JsonParsing.h"
#include "PathKey.h"

QSet<QString> OutputPaths::s_claimed;
QSet<QString> OutputPaths::s_protected;

void OutputPaths::reset()
{
    s_claimed.clear();
    s_protected.clear();
}

void OutputPaths::protect(const QStringList& inputs)
{
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
    QString path = wanted;
    for (int number = 2; !isFreeFor(path, input); ++number)
        path = numbered(wanted, number);
    s_claimed.insert(PathKey::of(path));
    return path;
}

void OutputPaths::release(const QString& path)
{
    s_claimed.remove(PathKey::of(path));
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
    return (there.isFile() || there.isSymLink()) && isRecordedOutputOf(path, input);
}

bool OutputPaths::isRecordedOutputOf(const QString& path, const QString& input)
{
    const QString inputFile = QFileInfo(input).canonicalFilePath();
    if (inputFile.isEmpty())
        return false;
    const QString name = QFileInfo(path).fileName();
    const QString key = PathKey::of(path);
    const QList<QStringList> entries = JsonParsing::allHistory();
    for (const QStringList& entry : entries) {
        // The name first: resolving the folders of every record would cost a long history dearly.
        if (entry.size() < 3 || QFileInfo(entry.at(2)).fileName().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (PathKey::of(entry.at(2)) == key && QFileInfo(entry.at(1)).canonicalFilePath() == inputFile)
            return true;
    }
    return false;
}
