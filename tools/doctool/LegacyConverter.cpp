#include "LegacyConverter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include "DocToolArguments.h"

namespace
{
// A first start of LibreOffice with a fresh profile takes several seconds; a large document a
// minute or two.
const int kStartTimeoutMs = 30 * 1000;
const int kConvertTimeoutMs = 4 * 60 * 1000;

QString lastLine(const QByteArray& output)
{
    const QStringList lines = QString::fromLocal8Bit(output).split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString("no output") : lines.last().trimmed();
}
} // namespace

bool LegacyConverter::run(const DocToolArguments& arguments, QString* error)
{
    const QString input = arguments.value("input");
    const QString output = arguments.value("output");
    if (input.isEmpty() || output.isEmpty()) {
        *error = "cannot convert: both -input= and -output= are needed";
        return false;
    }
    const QFileInfo inputInfo(input);
    if (!inputInfo.isFile()) {
        *error = QString("cannot convert %1: no such file").arg(input);
        return false;
    }
    const QString format = QFileInfo(output).suffix().toLower();
    if (format != "docx" && format != "pptx") {
        *error = QString("cannot convert %1: %2 is neither .docx nor .pptx").arg(input, output);
        return false;
    }
    if (!QFileInfo(output).absoluteDir().exists()) {
        *error = QString("cannot convert %1: the folder of %2 does not exist").arg(input, output);
        return false;
    }
    QString office = QStandardPaths::findExecutable("soffice");
    if (office.isEmpty())
        office = QStandardPaths::findExecutable("libreoffice");
    if (office.isEmpty()) {
        *error = QString("cannot convert %1: LibreOffice (soffice) is not installed").arg(input);
        return false;
    }

    // Every run has its own profile and home: LibreOffice refuses to share a profile between
    // parallel runs and writes into the home folder.
    QTemporaryDir work;
    const QString home = work.path() + "/home";
    const QString profile = work.path() + "/profile";
    const QString outDir = work.path() + "/out";
    if (!work.isValid() || !QDir().mkpath(home) || !QDir().mkpath(profile) || !QDir().mkpath(outDir)) {
        *error = QString("cannot convert %1: no work folder").arg(input);
        return false;
    }

    QProcess officeProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    officeProcess.setProcessEnvironment(environment);
    officeProcess.setProcessChannelMode(QProcess::MergedChannels);
    // The input is passed as an absolute path, so no file name can read as an option.
    officeProcess.start(office,
                        {"-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
                         "--headless", "--invisible", "--nolockcheck", "--nologo", "--norestore",
                         "--convert-to", format, "--outdir", outDir, inputInfo.absoluteFilePath()});
    if (!officeProcess.waitForStarted(kStartTimeoutMs)) {
        *error = QString("cannot convert %1: LibreOffice does not start (%2)")
                     .arg(input, officeProcess.errorString());
        return false;
    }
    if (!officeProcess.waitForFinished(kConvertTimeoutMs)) {
        officeProcess.kill();
        officeProcess.waitForFinished(5000);
        *error = QString("cannot convert %1: LibreOffice gave no result within %2 s")
                     .arg(input)
                     .arg(kConvertTimeoutMs / 1000);
        return false;
    }

    // LibreOffice ends with 0 even when it converted nothing: only the file tells.
    const QFileInfoList produced = QDir(outDir).entryInfoList(QDir::Files);
    if (produced.isEmpty() || produced.first().size() <= 0) {
        *error = QString("cannot convert %1: LibreOffice wrote no document (%2)")
                     .arg(input, lastLine(officeProcess.readAll()));
        return false;
    }

    // Written next to the target first, so that the target is either absent or complete.
    const QString partial = output + ".part";
    QFile::remove(partial);
    if (!QFile::copy(produced.first().absoluteFilePath(), partial)) {
        *error = QString("cannot convert %1: cannot write %2").arg(input, partial);
        return false;
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        QFile::remove(partial);
        *error = QString("cannot convert %1: cannot write %2").arg(input, output);
        return false;
    }
    return true;
}
