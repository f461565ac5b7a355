#include "PlatformConstants.h"

#include <climits>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "SystemConstants.h"

QString PlatformConstants::tempFolder()
{
    // Overridable so that tests and parallel runs can keep their files apart.
    const QByteArray overridden = qgetenv("VX_TEMP_DIR");
    if (!overridden.isEmpty()) {
        QString path = QString::fromLocal8Bit(overridden);
        return path.endsWith('/') ? path : path + '/';
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache + "/VxTemp/";
}

bool PlatformConstants::makeTempFolder()
{
    const QString folder = tempFolder();
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder,
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

bool PlatformConstants::pathsIgnoreCase()
{
    return false;
}

QString PlatformConstants::exeSuffix()
{
    return QString();
}

QChar PlatformConstants::nativeSeparator()
{
    return QDir::separator();
}

char PlatformConstants::separatorChar()
{
    return '/';
}

int PlatformConstants::maxPath()
{
    return PATH_MAX;
}

const char* PlatformConstants::gbkLocaleName()
{
    return SystemConstants::gbkLocaleName();
}

QString PlatformConstants::besideOrOnPath(const QString& relative, const QString& bareName)
{
    const QString beside = QCoreApplication::applicationDirPath() + relative;
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString found = QStandardPaths::findExecutable(bareName);
    return found.isEmpty() ? beside : found;
}

QString PlatformConstants::ffmpegPath()
{
    return besideOrOnPath("/ffmpeg" + exeSuffix(), "ffmpeg");
}

QString PlatformConstants::pngquantPath()
{
    return besideOrOnPath("/pngquant64/pngquant" + exeSuffix(), "pngquant");
}

QString PlatformConstants::convertProgram()
{
    return "convert" + exeSuffix();
}

QString PlatformConstants::gifsicleProgram()
{
    return "gifsicle" + exeSuffix();
}

QString PlatformConstants::docToolPath(bool dotNet4)
{
    const QString name = dotNet4 ? "Trellant40" : "Trellant35";
    return QCoreApplication::applicationDirPath() + "/docTool/" + name + exeSuffix();
}

QString PlatformConstants::compressionToolPath()
{
    QString folder = QCoreApplication::applicationDirPath();
    folder.replace('/', nativeSeparator());
    return folder + nativeSeparator() + "tool" + nativeSeparator() + "Squimble" + exeSuffix();
}

QString PlatformConstants::findProgram(const QString& program)
{
    if (program.isEmpty() || program.contains('/'))
        return program;
    const QString beside = QCoreApplication::applicationDirPath() + '/' + program;
    const QFileInfo besideInfo(beside);
    if (besideInfo.isFile() && besideInfo.isExecutable())
        return beside;
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? program : found;
}

QString PlatformConstants::mediaInfoLibrary()
{
    return QString::fromLatin1(VX_MEDIAINFO_LIBRARY);
}

QString PlatformConstants::dotNetFolder()
{
    return QString();
}
