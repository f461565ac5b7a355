#pragma once

#include <QString>
#include <QTemporaryDir>

// Points every folder that the extension, its COM layer and its host write to (home, the XDG
// folders, the machine's registry and state) into a test's temporary folder.
class ShellExtEnv
{
public:
    static void isolate(const QTemporaryDir& dir);
    // The built extension library and host, beside the test programs.
    static QString libraryPath();
    static QString hostPath();
};
