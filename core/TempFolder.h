#pragma once

#include <QString>

// This program's own folder for intermediate files (scaled copies, pngquant results, converted
// documents): a subfolder of the shared temporary folder (PlatformConstants::tempFolder, "C:/VxTemp/"
// on Windows), unique to this process and readable by its owner only. Two programs running at once
// never share a name in it, and closing removes only this folder, never the shared one. The process
// holds a lock (flock) on its folder for as long as it lives; the system gives the lock back when the
// process dies, however it dies, so a folder whose lock is free belongs to no running program and
// removeAbandoned() takes it away. Any thread.
class TempFolder
{
public:
    // The folder with a trailing '/', made on the first call (and again after remove, or when the
    // shared folder has moved); empty when it cannot be made.
    static QString path();
    // A new folder of one job's own in path(), "<prefix>-XXXXXX" without a trailing '/'; the job
    // removes it when it ends. Empty when it cannot be made.
    static QString jobFolder(const QString& prefix);
    // Removes this process's folder with everything in it. True when nothing of it is left.
    static bool remove();
    // Removes the folders in the shared folder that programs ended or killed earlier left behind;
    // those of running programs stay. How many were removed.
    static int removeAbandoned();
};
