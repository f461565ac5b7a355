#pragma once

#include <QString>

// Start-up and shut-down hooks of the account and interface library. This build has no
// account service: the calls keep only what the program can read back.
class CGlobal
{
public:
    static void init();
    static void setAppTitle(const QString& title);
    static void release();

    static QString appTitle();
    static bool isInitialised();
};
