#include "TempFolder.h"

#include <mutex>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "PlatformConstants.h"

namespace
{
std::mutex g_mutex;
QString g_base; // the shared folder the current one lies in
QString g_path; // this process's folder, with its trailing '/'; empty until made

QString makeFolder(const QString& base)
{
    if (!PlatformConstants::makeTempFolder())
        return QString();
    // QTemporaryDir makes the folder for its owner only; the process id tells whose it is.
    QTemporaryDir folder(QString("%1vx-%2-XXXXXX").arg(base).arg(QCoreApplication::applicationPid()));
    if (!folder.isValid())
        return QString();
    folder.setAutoRemove(false);
    return folder.path() + '/';
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
    if (removed)
        g_path.clear();
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
