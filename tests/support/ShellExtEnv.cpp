#include "ShellExtEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

void ShellExtEnv::isolate(const QTemporaryDir& dir)
{
    const QString root = dir.path();
    for (const char* folder : {"/home", "/machine-data", "/machine-config"})
        QDir().mkpath(root + folder);
    qputenv("HOME", QFile::encodeName(root + "/home"));
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_STATE_HOME");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(root + "/machine-data"));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root + "/machine-config"));
    qputenv("VX_MACHINE_STATE", QFile::encodeName(root + "/machine-state"));
}

QString ShellExtEnv::libraryPath()
{
    return QCoreApplication::applicationDirPath() + "/libVornixMenu64.so";
}

QString ShellExtEnv::hostPath()
{
    return QCoreApplication::applicationDirPath() + "/VornixExplorer";
}
