#pragma once

#include <QString>

// This program's own folder for intermediate files (scaled copies, pngquant results, converted
// documents, the PDF engine's page ranges): a subfolder of the shared temporary folder
// (PlatformConstants::tempFolder, "C:/VxTemp/" on Windows), unique to this process and readable by its
// owner only. Two programs running at once never share a name in it, and closing removes only this
// folder, never the shared one.
//
// The shared folder may be one of the user's (VX_TEMP_DIR), so the program's folders carry a mark
// that no folder of the user's has: the exact name "vx-<pid>-XXXXXX" and, inside, the owner file
// (kOwnerFile) with this program's text in it. The process holds a lock (flock) on its folder for as
// long as it lives and writes the owner file only once it holds the lock; the system gives the lock
// back when the process dies, however it dies. So a folder with the owner file belongs to a running
// program (its lock is held) or to an ended one (its lock is free), and removeAbandoned() takes only
// the latter. Any thread.
class TempFolder
{
public:
    // The file inside the folder that marks it as this program's own.
    static constexpr const char* kOwnerFile = "vx-owner";
    // The list of the passing names (FilePlacement::passingName) that this process is writing beside
    // results outside the folder; removeAbandoned() removes those of an ended program.
    static constexpr const char* kPassingList = "vx-passing";

    // The folder with a trailing '/', made on the first call (and again after remove, or when the
    // shared folder has moved); empty when it cannot be made.
    static QString path();
    // A new folder of one job's own in path(), "<prefix>-XXXXXX" without a trailing '/'; the job
    // removes it when it ends. Empty when it cannot be made.
    static QString jobFolder(const QString& prefix);
    // Removes this process's folder with everything in it. True when nothing of it is left.
    static bool remove();
    // Removes the folders of this program in the shared folder that programs ended or killed earlier
    // left behind, with the passing copies they were writing beside results; those of running programs
    // and everything that is not such a folder stay. How many folders were removed.
    static int removeAbandoned();

    // Notes `passing`, a passing name of this process, before a copy is written there; false when it
    // could not be noted. Each note is dropped again once the copy has its final name or is gone.
    static bool notePassing(const QString& passing);
    static void dropPassing(const QString& passing);
};
