#include "TestEnv.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "Tool.h"

void TestEnv::isolate(const QTemporaryDir& dir)
{
    g_AppDataPath = dir.path() + "/appdata";
    qputenv("VX_TEMP_DIR", (dir.path() + "/VxTemp/").toLocal8Bit());
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
