#include "FileIdentity.h"

#include <sys/stat.h>

#include <QFile>

FileIdentity::FileIdentity(qint64 device, qint64 inode, qint64 size, qint64 modifiedNs)
    : m_device(device)
    , m_inode(inode)
    , m_size(size)
    , m_modifiedNs(modifiedNs)
{
}

FileIdentity FileIdentity::of(const QString& path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return FileIdentity();
    const qint64 modified = qint64(status.st_mtim.tv_sec) * 1000000000 + qint64(status.st_mtim.tv_nsec);
    return FileIdentity(qint64(status.st_dev), qint64(status.st_ino), qint64(status.st_size), modified);
}

bool FileIdentity::operator==(const FileIdentity& other) const
{
    return m_device == other.m_device && m_inode == other.m_inode && m_size == other.m_size &&
           m_modifiedNs == other.m_modifiedNs;
}
