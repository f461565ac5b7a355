#include "OutputPaths.h"

#include <QDir>
#include <QFileInfo>

#include "PlatformConstants.h"

QSet<QString> OutputPaths::s_claimed;
QSet<QString> OutputPaths::s_protected;

void OutputPaths::reset()
{
    s_claimed.clear();
    s_protected.clear();
}

void OutputPaths::protect(const QStringList& inputs)
{
    for (const QString& input : inputs)
        s_protected.insert(keyOf(input));
}

QString OutputPaths::claim(const QString& wanted)
{
    QString path = wanted;
    for (int number = 2; isTaken(keyOf(path)); ++number)
        path = numbered(wanted, number);
    s_claimed.insert(keyOf(path));
    return path;
}

void OutputPaths::release(const QString& path)
{
    s_claimed.remove(keyOf(path));
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

QString OutputPaths::keyOf(const QString& path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return PlatformConstants::pathsIgnoreCase() ? clean.toLower() : clean;
}

bool OutputPaths::isTaken(const QString& key)
{
    return s_claimed.contains(key) || s_protected.contains(key);
}
