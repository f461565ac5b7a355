#include "LegacyConverter.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "DocToolArguments.h"
#include "FilePlacement.h"
#include "OfficeRun.h"

namespace
{
// A large document takes LibreOffice a minute or two; a file it cannot load, about a second.
const int kConvertTimeoutMs = 4 * 60 * 1000;

QString lastLine(const QByteArray& output)
{
    QStringList lines = QString::fromLocal8Bit(output).split('\n', Qt::SkipEmptyParts);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QString& line) { return line.contains("javaldx"); }),
                lines.end());
    return lines.isEmpty() ? QString("no output") : lines.last().trimmed();
}

QByteArray headOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(8) : QByteArray();
}

// The import filters to try, in order. LibreOffice, left to guess, reads any file it does not
// recognise as plain text, which takes minutes for a large one and gives a document of noise: so
// the filter is named. A Word or PowerPoint 97-2003 file is an OLE compound file; Word's older
// versions share that container, so they follow when Word 97's filter refuses; Word also saves
// ".doc" files as RTF.
QStringList importFilters(const QString& format, const QString& input)
{
    if (format == "pptx")
        return {"MS PowerPoint 97"};
    const QByteArray head = headOf(input);
    if (head.startsWith("{\\rtf"))
        return {"Rich Text Format"};
    if (head == QByteArray::fromHex("D0CF11E0A1B11AE1"))
        return {"MS Word 97", "MS Word 95", "MS WinWord 6.0"};
    return {"MS Word 97"};
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
    if (!QFileInfo(input).isFile()) {
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

    // Every run has its own profile, home and temporary folder: LibreOffice refuses to share a
    // profile between parallel runs and writes into the other two. All of it goes with `work`.
    QTemporaryDir work;
    const QString outDir = work.path() + "/out";
    if (!work.isValid() || !QDir().mkpath(outDir)) {
        *error = QString("cannot convert %1: no work folder").arg(input);
        return false;
    }

    OfficeRun run(office, work.path());
    QFileInfoList produced;
    for (const QString& filter : importFilters(format, input)) {
        const OfficeRun::End end = run.convert(input, filter, format, outDir, kConvertTimeoutMs);
        if (end == OfficeRun::End::FailedToStart) {
            *error =
                QString("cannot convert %1: LibreOffice does not start (%2)").arg(input, run.errorString());
            return false;
        }
        if (end == OfficeRun::End::Stopped) {
            *error = QString("cannot convert %1: stopped").arg(input);
            return false;
        }
        if (end == OfficeRun::End::TimedOut) {
            *error = QString("cannot convert %1: LibreOffice gave no result within %2 s")
                         .arg(input)
                         .arg(kConvertTimeoutMs / 1000);
            return false;
        }
        // LibreOffice ends with 0 even when it converted nothing: only the file tells.
        produced = QDir(outDir).entryInfoList(QDir::Files);
        if (!produced.isEmpty() && produced.first().size() > 0)
            break;
        produced.clear();
    }
    if (produced.isEmpty()) {
        *error =
            QString("cannot convert %1: LibreOffice wrote no document (%2)").arg(input, lastLine(run.said()));
        return false;
    }
    if (OfficeRun::stopRequested()) {
        *error = QString("cannot convert %1: stopped").arg(input);
        return false;
    }
    // Copied through "<output>.<pid>.tmp", so that the output is either as it was or complete.
    if (!FilePlacement::copy(produced.first().absoluteFilePath(), output)) {
        *error = QString("cannot convert %1: cannot write %2").arg(input, output);
        return false;
    }
    return true;
}
