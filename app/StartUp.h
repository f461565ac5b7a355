#pragma once

#include <QString>

class MainWidget;

// The program's start-up and shut-down, in their fixed order.
class StartUp
{
public:
    static int run(int argc, char** argv);

    // Workers for the pool: half the hardware threads when there are 8 or more, else 3.
    static int workerCount(int hardwareThreads);
    // Gives the process a UTF-8 character type when it was started without a locale.
    static void ensureTextLocale();
    // Applies the first command-line argument: a page option or a file to open.
    static void applyCommandLine(MainWidget& window, int argc, char** argv);
    // The file a command-line argument names: the argument as given when that file exists, else
    // without one pair of surrounding double quotes when that one exists, else with every double
    // quote removed.
    static QString commandLinePath(const QString& argument);
};
