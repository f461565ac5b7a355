#include "FileState.h"

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

FileState FileState::of(const QString& path)
{
    FileState state;
#if defined(Q_OS_UNIX)
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return state;
    state.m_exists = true;
    state.m_device = quint64(status.st_dev);
    state.m_inode = quint64(status.st_ino);
    state.m_size = qint64(status.st_size);
    state.m_modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    state.m_changedNs = qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
#else
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return state;
    state.m_exists = true;
    state.m_size = info.size();
    state.m_modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    state.m_changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
#endif
    return state;
}

bool FileState::operator==(const FileState& other) const
{
    if (!m_exists || !other.m_exists)
        return m_exists == other.m_exists;
    return m_device == other.m_device && m_inode == other.m_inode && m_size == other.m_size &&
           m_modifiedNs == other.m_modifiedNs && m_changedNs == other.m_changedNs;
}
