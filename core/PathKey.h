#pragma once

#include <QString>

// A path as the file system sees it: its folder with every link and "." or ".." resolved, then its own
// name, which is not followed (a link there is the file itself). Two spellings of one place ("Desktop"
// a link to "Documents") give one key, so paths are compared as files, not as text. Case is folded
// where the file system ignores it. Any thread.
class PathKey
{
public:
    static QString of(const QString& path);
    static bool same(const QString& one, const QString& other) { return of(one) == of(other); }
};
