#include "TestEnv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "TempFolder.h"
#include "Tool.h"

void TestEnv::isolate(const QTemporaryDir& dir)
{
    g_AppDataPath = dir.path() + "/appdata";
    qputenv("VX_TEMP_DIR", (dir.path() + "/VxTemp/").toLocal8Bit());
    // The path holder makes the per-user data location.
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit());
}

std::shared_ptr<void> TestEnv::redirectSystemTemp(const QString& folder)
{
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder));
    return std::shared_ptr<void>(nullptr, [oldTemp](void*) {
        if (oldTemp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", oldTemp);
    });
}

QString TestEnv::findTool(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

QStringList TestEnv::logLines()
{
    QFile file(Tool::logFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith('\n'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split('\n');
}

QString TestEnv::writeScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

int TestEnv::runTool(const QString& program, const QStringList& arguments, QByteArray* output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return -1;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

namespace
{
// The state letter of /proc/<pid>/stat ('Z' for an ended process not yet reaped), or 0 when gone.
char processState(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line.at(close + 2) : 0;
}
} // namespace

QStringList TestEnv::processesMentioning(const QString& text)
{
    QStringList found;
    const QByteArray wanted = QFile::encodeName(text);
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == QCoreApplication::applicationPid() || processGone(pid))
            continue;
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        QByteArray arguments = cmdline.readAll().replace('\0', ' ');
        if (!arguments.contains(wanted))
            continue;
        found << QString("%1: %2").arg(pid).arg(QString::fromLocal8Bit(arguments.trimmed()));
    }
    return found;
}

bool TestEnv::processGone(qint64 pid)
{
    const char state = processState(pid);
    return state == 0 || state == 'Z' || state == 'X';
}

QStringList TestEnv::entriesUnder(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    entries.removeAll(TempFolder::kOwnerFile);
    entries.sort();
    return entries;
}

bool TestEnv::age(const QString& path, int seconds)
{
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}
