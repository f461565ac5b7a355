#include "Tool.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTime>

#include "LogNotice.h"

namespace
{
QString firstLocation(QStandardPaths::StandardLocation location)
{
    const QStringList locations = QStandardPaths::standardLocations(location);
    return locations.isEmpty() ? QString() : locations.first();
}

// Why `folder` could not be made: what the system says when it is made one level at a time.
QString whyNoFolder(const QString& folder)
{
    QString made;
    for (const QString& part : QDir(folder).absolutePath().split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        made += '/' + part;
        if (QFileInfo(made).isDir())
            continue;
        if (::mkdir(QFile::encodeName(made).constData(), 0777) != 0)
            return QString::fromLocal8Bit(std::strerror(errno));
    }
    return QString::fromLocal8Bit(std::strerror(EIO));
}

// True while writeLog is creating its own folder on this thread: makeDir's lines from inside
// that creation must not try to create the same folder again.
thread_local bool t_creatingLogFolder = false;

const char* const kMediaSuffixes[] = {
    ".mp4", ".mkv",  ".mov", ".avi", ".wmv", ".m4v", ".mpg", ".vob", ".webm",
    ".ogv", ".3gp",  ".flv", ".f4v", ".swf", ".mp3", ".wav", ".m4a", ".wma",
    ".aac", ".flac", ".ac3", ".m4r", ".ape", ".ogg", ".jpg", ".gif", ".png",
};
} // namespace

QString g_AppDataPath = firstLocation(QStandardPaths::AppDataLocation);

Tool::Tool(QObject* parent)
    : QObject(parent)
{
}

Tool::~Tool() = default;

QString Tool::quote(QString text)
{
    return '"' + text + '"';
}

QString Tool::singleQuote(QString text)
{
    return '\'' + text + '\'';
}

QString Tool::mediaSuffix(const int& index)
{
    const int count = int(sizeof(kMediaSuffixes) / sizeof(kMediaSuffixes[0]));
    if (index < 0 || index >= count)
        return QString();
    return QString::fromLatin1(kMediaSuffixes[index]);
}

int Tool::secondsBetween(QString from, QString to)
{
    const QTime start = QTime::fromString(from, "hh:mm:ss");
    const QTime end = QTime::fromString(to, "hh:mm:ss");
    if (!start.isValid() || !end.isValid())
        return 0;
    return start.secsTo(end);
}

double Tool::timeToSeconds(QString text)
{
    const QTime time = QTime::fromString(text, "hh:mm:ss.zzz");
    if (!time.isValid())
        return 0.0;
    const int wholeSeconds = time.hour() * 3600 + time.minute() * 60 + time.second();
    return wholeSeconds + time.msec() / 1000.0;
}

QString Tool::logFilePath()
{
    return g_AppDataPath + "/Vornix/log.txt";
}

bool Tool::writeLog(const QString& text)
{
    if (g_AppDataPath.isEmpty())
        g_AppDataPath = firstLocation(QStandardPaths::AppConfigLocation);

    const QString folder = g_AppDataPath + "/Vornix";
    if (!QDir().exists(folder)) {
        if (t_creatingLogFolder)
            return true; // a line from inside our own folder creation: dropped
        t_creatingLogFolder = true;
        const bool made = makeDir(folder);
        t_creatingLogFolder = false;
        if (!made) {
            LogNotice::instance().report(logFilePath(), whyNoFolder(folder));
            return true;
        }
    }

    QFile file(logFilePath());
    if (!file.open(QIODevice::Append)) {
        LogNotice::instance().report(file.fileName(), file.errorString());
        return false;
    }
    QByteArray line = QByteArray::fromStdString(text.toStdString());
    line.append('\n');
    // A full disk takes the line into the buffer and fails only as it is written out.
    if (file.write(line) != line.size() || !file.flush()) {
        LogNotice::instance().report(file.fileName(), file.errorString());
        return false;
    }
    file.close();
    return true;
}

bool Tool::makeDir(const QString& path)
{
    QDir dir;
    if (dir.exists(path)) {
        writeLog("dir is exist");
        return true;
    }
    // With every missing parent: a new account has none of the folders above ours yet.
    if (dir.mkpath(path)) {
        writeLog("create dir success");
        return true;
    }
    writeLog("error:create dir fail");
    return false;
}

bool Tool::removeTempFiles(const QStringList& files, const int& keep)
{
    for (int i = 0; i < files.size() - keep; ++i) {
        if (!QFile::remove(files[i])) {
            writeLog(QString("remove temp file %1 fail").arg(files[i]));
            return false;
        }
        writeLog(QString("remove temp file %1 success").arg(files[i]));
    }
    return true;
}
