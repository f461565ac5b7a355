#pragma once

#include <QString>
#include <QtGlobal>

// Which file a path names, and in what state: its device and inode, its size and the time it was last
// written. A file that is replaced, rewritten or touched since gives another identity, so a stored
// identity tells "the very file, unchanged". A link at the path is the file itself, never followed.
// Any thread.
class FileIdentity
{
public:
    FileIdentity() = default;
    FileIdentity(qint64 device, qint64 inode, qint64 size, qint64 modifiedNs);

    // The identity of what is at `path` now; invalid when nothing is there.
    static FileIdentity of(const QString& path);

    bool isValid() const { return m_inode != 0; }
    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }

    qint64 device() const { return m_device; }
    qint64 inode() const { return m_inode; }
    qint64 size() const { return m_size; }
    qint64 modifiedNs() const { return m_modifiedNs; }

private:
    qint64 m_device = 0;
    qint64 m_inode = 0;
    qint64 m_size = 0;
    qint64 m_modifiedNs = 0;
};
