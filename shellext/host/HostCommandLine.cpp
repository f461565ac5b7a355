#include "HostCommandLine.h"

#include <cstdio>

#include <QCoreApplication>
#include <QFileInfo>

#include "ContextMenuHost.h"
#include "DesktopIntegration.h"
#include "ServerRegistration.h"
#include "SystemConstants.h"

namespace
{

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int HostCommandLine::usage()
{
    printLine(stderr, "usage: VornixExplorer --register [--user] [LIBRARY]\n"
                      "       VornixExplorer --unregister [--user] [LIBRARY]\n"
                      "       VornixExplorer --invoke TEXT PATH...");
    return 2;
}

int HostCommandLine::registration(bool doRegister, const QStringList& arguments)
{
    bool perUser = false;
    QString library = QCoreApplication::applicationDirPath() + "/" + SystemConstants::extensionLibrary();
    for (const QString& argument : arguments) {
        if (argument == "--user")
            perUser = true;
        else if (argument.startsWith("--"))
            return usage();
        else
            library = argument;
    }
    const HRESULT result = ServerRegistration::install(library, perUser, doRegister);
    if (FAILED(result)) {
        printLine(stderr, QString("%1 %2 failed: %3")
                              .arg(doRegister ? "registering" : "unregistering", library,
                                   ServerRegistration::describe(result)));
        return 1;
    }
    DesktopIntegration integration(perUser, QCoreApplication::applicationFilePath());
    QString error;
    const bool done = doRegister ? integration.install(&error) : integration.remove(&error);
    if (!done) {
        printLine(stderr, QString("file manager entries: %1").arg(error));
        return 1;
    }
    printLine(stdout, QString("%1 %2 %3")
                          .arg(doRegister ? "registered" : "unregistered", library,
                               perUser ? "for the current user" : "for the machine"));
    return 0;
}

int HostCommandLine::invoke(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return usage();
    ContextMenuHost host;
    QString reason;
    if (!host.invoke(arguments.mid(1), arguments[0], &reason)) {
        printLine(stderr, reason);
        return 1;
    }
    return 0;
}

int HostCommandLine::run(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return usage();
    const QString command = arguments[0];
    if (command == "--register" || command == "--unregister")
        return registration(command == "--register", arguments.mid(1));
    if (command == "--invoke")
        return invoke(arguments.mid(1));
    return usage();
}
