#pragma once

#include <QString>
#include <QtGlobal>

// What a path held at one moment: whether a file was there, which one (device and inode) and its
// size and change time. Two states differ when the file was made, removed, replaced by a rename or
// written in place between them, so a job can tell its own writing from a file it never touched.
class FileState
{
public:
    FileState() = default;
    // The state of `path` now (a symbolic link is not followed: the link itself is the file).
    static FileState of(const QString& path);

    bool exists() const { return m_exists; }
    bool operator==(const FileState& other) const;
    bool operator!=(const FileState& other) const { return !(*this == other); }

private:
    bool m_exists = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_size = 0;
    qint64 m_modifiedNs = 0;
    qint64 m_changedNs = 0;
};
