#include "SampleFiles.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QUrl>

#include "OoxmlPackage.h"
#include "PdfFactory.h"
#include "TestEnv.h"

bool SampleFiles::make(const QString& path, const QString& workDir)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (videoSuffixes().contains(suffix))
        return makeClip(path);
    if (imageSuffixes().contains(suffix))
        return makeImage(path);
    if (suffix == "pdf") {
        PdfFactory::Options options;
        options.pages = 3;
        options.content = PdfFactory::Content::Mixed;
        options.imageWidth = 600;
        return PdfFactory::write(path, options);
    }
    if (suffix == "docx" || suffix == "pptx")
        return makeOffice(path, workDir);
    if (suffix == "doc" || suffix == "ppt")
        return makeLegacy(path, workDir);
    return false;
}

bool SampleFiles::makeCorrupt(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A legacy Office name gets the compound-file signature, so that LibreOffice takes it for a
    // broken Office file instead of importing the bytes as plain text.
    const QString suffix = QFileInfo(path).suffix().toLower();
    QByteArray noise =
        suffix == "doc" || suffix == "ppt" ? QByteArray::fromHex("d0cf11e0a1b11ae1") : QByteArray();
    for (int i = 0; i < 4096; ++i)
        noise.append(char((i * 7919 + 13) % 251));
    return file.write(noise) == noise.size();
}

bool SampleFiles::makeClip(const QString& path, const QStringList& codecArguments)
{
    QStringList arguments{"-v",
                          "error",
                          "-y",
                          "-f",
                          "lavfi",
                          "-i",
                          "testsrc=size=160x120:rate=25:duration=1",
                          "-f",
                          "lavfi",
                          "-i",
                          "sine=frequency=440:duration=1",
                          "-shortest",
                          "-pix_fmt",
                          "yuv420p"};
    arguments << codecArguments << path;
    return TestEnv::runTool("ffmpeg", arguments) == 0 && QFileInfo(path).size() > 0;
}

bool SampleFiles::makeImage(const QString& path)
{
    const QImage picture = OoxmlPackage::photo(320, 240, 7);
    if (QFileInfo(path).suffix().toLower() != "gif")
        return picture.save(path, QFileInfo(path).suffix().toLower().toLatin1().constData(), 95);
    // Qt writes no GIF: ImageMagick makes it from a PNG.
    const QString png = path + ".source.png";
    const bool made = picture.save(png) && TestEnv::runTool("convert", {png, "gif:" + path}) == 0;
    QFile::remove(png);
    return made && QFileInfo(path).size() > 0;
}

bool SampleFiles::makeOffice(const QString& path, const QString& workDir)
{
    Q_UNUSED(workDir);
    const QList<OoxmlPackage::Media> media = {
        {"image1.jpeg", OoxmlPackage::jpeg(OoxmlPackage::photo(1600, 1200, 3), 95)},
        {"image2.png", OoxmlPackage::png(OoxmlPackage::diagram(800, 600))},
    };
    const bool word = QFileInfo(path).suffix().toLower() == "docx";
    return OoxmlPackage::write(path,
                               word ? OoxmlPackage::wordDocument(media) : OoxmlPackage::presentation(media));
}

bool SampleFiles::makeLegacy(const QString& path, const QString& workDir)
{
    const QString legacy = QFileInfo(path).suffix().toLower();
    const QString folder = workDir + "/legacy-" + legacy;
    if (!QDir().mkpath(folder))
        return false;
    const QString source = folder + "/sample." + (legacy == "doc" ? "docx" : "pptx");
    if (!makeOffice(source, workDir))
        return false;
    const QString profile = QUrl::fromLocalFile(workDir + "/lo-profile").toString(QUrl::FullyEncoded);
    const QStringList arguments{"-env:UserInstallation=" + profile,
                                "--headless",
                                "--norestore",
                                "--convert-to",
                                legacy,
                                "--outdir",
                                folder,
                                source};
    if (TestEnv::runTool("soffice", arguments) != 0)
        return false;
    const QString converted = folder + "/sample." + legacy;
    QFile::remove(path);
    return QFile::rename(converted, path);
}

bool SampleFiles::makeWriterPdf(const QString& path, const QString& workDir, int pages,
                                const QString& options)
{
    QByteArray body;
    for (int page = 1; page <= pages; ++page) {
        const QByteArray photo = OoxmlPackage::jpeg(OoxmlPackage::photo(800, 600, quint32(page)), 95);
        body += QString("<text:p text:style-name=\"%1\">Page %2 of %3</text:p>")
                    .arg(page == 1 ? "Standard" : "NewPage")
                    .arg(page)
                    .arg(pages)
                    .toUtf8();
        body += "<text:p><draw:frame draw:name=\"Photo" + QByteArray::number(page) +
                "\" svg:width=\"16cm\" svg:height=\"12cm\" text:anchor-type=\"as-char\"><draw:image>"
                "<office:binary-data>" +
                photo.toBase64() + "</office:binary-data></draw:image></draw:frame></text:p>";
    }
    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
        " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
        " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
        " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
        " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
        " office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.text\">"
        "<office:automatic-styles><style:style style:name=\"NewPage\" style:family=\"paragraph\">"
        "<style:paragraph-properties fo:break-before=\"page\"/></style:style></office:automatic-styles>"
        "<office:body><office:text>" +
        body + "</office:text></office:body></office:document>\n";

    const QString folder = workDir + "/writer-pdf";
    const QString source = folder + "/" + QFileInfo(path).completeBaseName() + ".fodt";
    QFile file(source);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(document) != document.size())
        return false;
    file.close();
    const QString profile = QUrl::fromLocalFile(workDir + "/lo-profile").toString(QUrl::FullyEncoded);
    if (TestEnv::runTool("soffice",
                         {"-env:UserInstallation=" + profile, "--headless", "--norestore", "--convert-to",
                          "pdf:writer_pdf_Export:" + options, "--outdir", folder, source}) != 0)
        return false;
    const QString exported = folder + "/" + QFileInfo(source).completeBaseName() + ".pdf";
    QFile::remove(path);
    return QFileInfo(exported).size() > 0 && QFile::rename(exported, path);
}

bool SampleFiles::makeTurnedPhoto(const QString& path)
{
    QImage stored(640, 480, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    QPainter halves(&stored);
    halves.fillRect(0, 0, 320, 480, Qt::red);
    halves.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !stored.save(&buffer, "JPEG", 95))
        return false;
    // An EXIF segment right after the start marker, with one tag: orientation (0x0112) = 6.
    const QByteArray exif("\xFF\xE1\x00\x22"
                          "Exif\0\0MM\x00\x2A\x00\x00\x00\x08\x00\x01"
                          "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00",
                          36);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(jpeg.left(2) + exif + jpeg.mid(2)) == jpeg.size() + 36;
}

bool SampleFiles::makeTopDownBmp(const QString& path)
{
    const qint32 width = 120;
    const qint32 height = 80;
    const quint32 rowBytes = width * 3; // 24 bits a pixel; 360 is a multiple of 4, so no padding
    const quint32 headers = 14 + 40;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    // The file header: signature, file size, two reserved words, where the pixels start.
    out << quint8('B') << quint8('M') << quint32(headers + rowBytes * height) << quint16(0) << quint16(0)
        << headers;
    // The information header: its size, width, height (negative: top row first), one plane, 24 bits,
    // no compression, the pixels' size, 2835 pixels a metre each way, no palette.
    out << quint32(40) << width << qint32(-height) << quint16(1) << quint16(24) << quint32(0)
        << quint32(rowBytes * height) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    // The rows, the top one first, each pixel blue, green, red.
    for (int y = 0; y < height; ++y) {
        const bool upper = y < height / 2;
        for (int x = 0; x < width; ++x)
            out << quint8(upper ? 0 : 255) << quint8(0) << quint8(upper ? 255 : 0);
    }
    QFile file(path);
    return out.status() == QDataStream::Ok && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}
