#pragma once

#include <QStringList>

// The host's command line:
//   VornixExplorer --register [--user] [LIBRARY]     registers the extension (and the file managers' entries)
//   VornixExplorer --unregister [--user] [LIBRARY]   removes both again
//   VornixExplorer --invoke TEXT PATH...             runs the context-menu entry TEXT on the selection
// LIBRARY defaults to the extension beside the host. Returns the process exit code.
class HostCommandLine
{
public:
    static int run(const QStringList& arguments);

private:
    static int registration(bool doRegister, const QStringList& arguments);
    static int invoke(const QStringList& arguments);
    static int usage();
};
