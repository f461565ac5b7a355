#include "PdfCommands.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "DocToolArguments.h"
#include "FilePlacement.h"
#include "MuPdfSession.h"
#include "PdfFileWriter.h"
#include "PdfImageRecompressor.h"
#include "PdfPageCopier.h"
#include "PdfPrivateData.h"

namespace
{
bool checkOutput(const QString& output, QString* error)
{
    if (output.isEmpty()) {
        *error = "no -output= given";
        return false;
    }
    return true;
}

// Names the whole document that a cut comes from, so that the merge knows which cuts belong
// together: its size, time and its first and last 64 KB (where its header, catalog and identifier
// usually are). Cheap for large files, which every range cuts from again.
QByteArray sourceKeyOf(const QString& path)
{
    const qint64 piece = 64 * 1024;
    const QFileInfo info(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(info.size()) + ' ' +
                 QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        hash.addData(file.read(piece));
        if (info.size() > piece && file.seek(info.size() - piece))
            hash.addData(file.read(piece));
    }
    return hash.result().toHex();
}

// path when its document is encrypted (it opened, so without a password): the result keeps that
// encryption. Empty otherwise.
QString encryptedPath(const pdf_document* document, const QString& path)
{
    return document->crypt ? path : QString();
}

// Replaces the output with a plain copy of the input, whose pages were counted when it was read; the
// copy goes through its passing name, so no half file remains.
void copyInstead(const QString& input, const QString& output)
{
    if (!FilePlacement::copy(input, output))
        throw std::runtime_error(QString("cannot copy %1 to %2").arg(input, output).toStdString());
}
} // namespace

bool PdfCommands::run(const DocToolArguments& arguments, QString* error)
{
    const QString subtype = arguments.value("subtype");
    const QString output = arguments.value("output");
    if (subtype == "3")
        return extractPages(arguments.value("input"), output, arguments.value("pageRange"), error);
    if (subtype == "2")
        return compress(arguments.value("input"), output, arguments.value("quality"), error);
    if (subtype == "1") {
        const QString inputs = arguments.value("input");
        return merge(inputs.isEmpty() ? QStringList() : inputs.split('*'), output, error);
    }
    *error = QString("unknown -subtype=%1").arg(subtype);
    return false;
}

bool PdfCommands::extractPages(const QString& input, const QString& output, const QString& pageRange,
                               QString* error)
{
    if (!checkOutput(output, error))
        return false;
    const QRegularExpressionMatch range = QRegularExpression("^(\\d+)-(\\d+)$").match(pageRange);
    if (!range.hasMatch()) {
        *error = QString("bad -pageRange=%1 (expected first-last)").arg(pageRange);
        return false;
    }
    const int first = range.captured(1).toInt();
    const int last = range.captured(2).toInt();
    try {
        MuPdfSession session;
        PdfDocumentHolder source(session.context(), session.openPdf(input));
        int pages = 0;
        session.run([&] { pages = pdf_count_pages(session.context(), source.get()); });
        if (first < 1 || last < first || last > pages) {
            *error =
                QString("-pageRange=%1 lies outside the %2 pages of %3").arg(pageRange).arg(pages).arg(input);
            return false;
        }
        PdfPageCopier copier(session);
        copier.cut(source.get(), first - 1, last - 1, sourceKeyOf(input));
        copier.save(output, encryptedPath(source.get(), input));
    } catch (const std::exception& failure) {
        *error = QString::fromUtf8(failure.what());
        return false;
    }
    return true;
}

bool PdfCommands::compress(const QString& input, const QString& output, const QString& quality,
                           QString* error)
{
    if (!checkOutput(output, error))
        return false;
    bool numeric = false;
    const int level = quality.toInt(&numeric);
    if (!numeric || level < 1 || level > 100) {
        *error = QString("bad -quality=%1 (expected 1 to 100)").arg(quality);
        return false;
    }
    try {
        MuPdfSession session;
        PdfDocumentHolder document(session.context(), session.openPdf(input));
        int pages = 0;
        session.run([&] { pages = pdf_count_pages(session.context(), document.get()); });
        PdfImageRecompressor(session, level).run(document.get());
        PdfPrivateData::remove(session, document.get());
        PdfFileWriter::save(session, document.get(), output, pages, false,
                            encryptedPath(document.get(), input));
        // Never hand back more bytes than were given.
        if (QFileInfo(output).size() >= QFileInfo(input).size())
            copyInstead(input, output);
    } catch (const std::exception& failure) {
        *error = QString::fromUtf8(failure.what());
        return false;
    }
    return true;
}

bool PdfCommands::merge(const QStringList& inputs, const QString& output, QString* error)
{
    if (!checkOutput(output, error))
        return false;
    if (inputs.isEmpty()) {
        *error = "no -input= given";
        return false;
    }
    try {
        MuPdfSession session;
        PdfPageCopier copier(session);
        // The first encrypted input lends the result its encryption: the parts of one document all
        // have the same.
        QString encryptedLike;
        for (const QString& input : inputs) {
            PdfDocumentHolder source(session.context(), session.openPdf(input));
            if (encryptedLike.isEmpty())
                encryptedLike = encryptedPath(source.get(), input);
            copier.append(source.get());
        }
        copier.save(output, encryptedLike);
    } catch (const std::exception& failure) {
        *error = QString::fromUtf8(failure.what());
        return false;
    }
    return true;
}
