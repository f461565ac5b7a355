#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Test scaffolding shared by all test programs.
class TestEnv
{
public:
    // Points the log, the temporary folder and the per-user data location into `dir`, so that tests
    // never touch the user's files.
    static void isolate(const QTemporaryDir& dir);

    // Points the system's temporary folder (TMPDIR) at `folder` until the returned guard goes.
    static std::shared_ptr<void> redirectSystemTemp(const QString& folder);

    // Full path of a program on PATH, or empty. Use through VX_REQUIRE_TOOL so that a missing tool
    // fails the test loudly instead of skipping it.
    static QString findTool(const QString& name);

    // Lines of the log written so far (without line feeds).
    static QStringList logLines();

    // An executable /bin/sh script at `path` with `body` after its first line, standing in for a tool;
    // returns the path, or an empty text when it cannot be written.
    static QString writeScript(const QString& path, const QByteArray& body);

    // Live processes (not this one, not ended ones waiting to be reaped) whose argument list contains
    // `text` anywhere, as "pid: arguments" lines. Tools name the files they work on in their
    // arguments, so a test folder's path finds every tool still working in it.
    static QStringList processesMentioning(const QString& text);
    // Whether the process `pid` has ended (an ended one not yet reaped counts as ended).
    static bool processGone(qint64 pid);

    // Sets the access and modification times of `path` (never through a link) `seconds` back.
    static bool age(const QString& path, int seconds);

    // Every file and folder below `folder`, relative to it, sorted; hidden ones included. The owner
    // file of the program's temporary folder (TempFolder::kOwnerFile), there as long as the folder is,
    // is left out.
    static QStringList entriesUnder(const QString& folder);

    // Runs a program to completion (for preparing inputs); returns its exit code, -1 on failure to run.
    static int runTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
                       int timeoutMs = 120000);
};

#define VX_REQUIRE_TOOL(name)                                                                                \
    do {                                                                                                     \
        if (TestEnv::findTool(name).isEmpty())                                                               \
            QFAIL(qPrintable(QString("required tool missing: %1 (run scripts/setup.sh)").arg(name)));        \
    } while (false)
