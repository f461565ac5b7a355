#include "PathKey.h"

#include <QDir>
#include <QFileInfo>

#include "PlatformConstants.h"

QString PathKey::of(const QString& path)
{
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    // A folder that does not exist (yet) has no links to resolve: its clean path stands.
    QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        folder = info.absolutePath();
    if (!folder.endsWith('/'))
        folder += '/';
    const QString key = folder + info.fileName();
    return PlatformConstants::pathsIgnoreCase() ? key.toLower() : key;
}
