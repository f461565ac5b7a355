#include "OoxmlPackage.h"

#include <cstdlib>
#include <cstring>

#include <zip.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

namespace
{
const char* const kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* const kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const kDrawingNs = "http://schemas.openxmlformats.org/drawingml/2006/main";
const char* const kPresentationNs = "http://schemas.openxmlformats.org/presentationml/2006/main";

QByteArray xml(const QString& body)
{
    return QByteArray(kXmlHead) + body.toUtf8();
}

QString relationship(const QString& id, const QString& type, const QString& target)
{
    return QString("<Relationship Id=\"%1\" Type=\"%2/%3\" Target=\"%4\"/>").arg(id, kRelNs, type, target);
}

QByteArray relationships(const QStringList& items)
{
    return xml("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
               items.join(QString()) + "</Relationships>");
}

QByteArray contentTypes(const QStringList& overrides)
{
    QString body = "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                   "<Default Extension=\"rels\" "
                   "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                   "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                   "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
                   "<Default Extension=\"jpg\" ContentType=\"image/jpeg\"/>"
                   "<Default Extension=\"png\" ContentType=\"image/png\"/>";
    for (const QString& item : overrides) {
        const QStringList parts = item.split('|');
        body += QString("<Override PartName=\"%1\" ContentType=\"%2\"/>").arg(parts[0], parts[1]);
    }
    return xml(body + "</Types>");
}

QString officeType(const QString& tail)
{
    return "application/vnd.openxmlformats-officedocument." + tail;
}

QString theme()
{
    QString colours;
    const char* const names[] = {"dk1",     "lt1",     "dk2",     "lt2",     "accent1", "accent2",
                                 "accent3", "accent4", "accent5", "accent6", "hlink",   "folHlink"};
    const char* const values[] = {"000000", "FFFFFF", "1F497D", "EEECE1", "4F81BD", "C0504D",
                                  "9BBB59", "8064A2", "4BACC6", "F79646", "0000FF", "800080"};
    for (int i = 0; i < 12; ++i)
        colours += QString("<a:%1><a:srgbClr val=\"%2\"/></a:%1>").arg(names[i], values[i]);
    const QString fill = "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>";
    const QString line = "<a:ln w=\"9525\"><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill></a:ln>";
    const QString effect = "<a:effectStyle><a:effectLst/></a:effectStyle>";
    const QString font = "<a:latin typeface=\"Arial\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>";
    return QString("<a:theme xmlns:a=\"%1\" name=\"Plain\"><a:themeElements>"
                   "<a:clrScheme name=\"Plain\">%2</a:clrScheme>"
                   "<a:fontScheme name=\"Plain\"><a:majorFont>%3</a:majorFont><a:minorFont>%3</a:minorFont>"
                   "</a:fontScheme>"
                   "<a:fmtScheme name=\"Plain\"><a:fillStyleLst>%4%4%4</a:fillStyleLst>"
                   "<a:lnStyleLst>%5%5%5</a:lnStyleLst><a:effectStyleLst>%6%6%6</a:effectStyleLst>"
                   "<a:bgFillStyleLst>%4%4%4</a:bgFillStyleLst></a:fmtScheme>"
                   "</a:themeElements></a:theme>")
        .arg(kDrawingNs, colours, font, fill, line, effect);
}

QString emptyTree()
{
    return "<p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>";
}

QString presentationRoot(const QString& element, const QString& body)
{
    return QString("<p:%1 xmlns:a=\"%2\" xmlns:r=\"%3\" xmlns:p=\"%4\">%5</p:%1>")
        .arg(element, kDrawingNs, kRelNs, kPresentationNs, body);
}
} // namespace

QList<OoxmlPackage::Entry> OoxmlPackage::wordDocument(const QList<Media>& media)
{
    QString paragraphs = "<w:p><w:r><w:t>Vornex sample document</w:t></w:r></w:p>";
    QStringList rels;
    QList<Entry> mediaEntries;
    for (int i = 0; i < media.size(); ++i) {
        const QString id = QString("rId%1").arg(i + 1);
        rels << relationship(id, "image", "media/" + media[i].fileName);
        paragraphs += QString("<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"5486400\" cy=\"4114800\"/>"
                              "<wp:docPr id=\"%1\" name=\"Picture %1\"/>"
                              "<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/"
                              "2006/picture\"><pic:pic><pic:nvPicPr><pic:cNvPr id=\"%1\" name=\"%2\"/>"
                              "<pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"%3\"/>"
                              "<a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm>"
                              "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"5486400\" cy=\"4114800\"/></a:xfrm>"
                              "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
                              "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>")
                          .arg(i + 1)
                          .arg(media[i].fileName, id);
        mediaEntries << Entry{"word/media/" + media[i].fileName, media[i].data, true};
    }
    const QString document =
        QString("<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
                "xmlns:r=\"%1\" xmlns:a=\"%2\" "
                "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
                "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
                "<w:body>%3<w:sectPr/></w:body></w:document>")
            .arg(kRelNs, kDrawingNs, paragraphs);

    QList<Entry> entries;
    entries << Entry{"[Content_Types].xml",
                     contentTypes({"/word/document.xml|" + officeType("wordprocessingml.document.main+xml")}),
                     true};
    entries << Entry{"_rels/.rels",
                     relationships({relationship("rId1", "officeDocument", "word/document.xml")}), true};
    entries << Entry{"word/document.xml", xml(document), true};
    entries << Entry{"word/_rels/document.xml.rels", relationships(rels), true};
    return entries + mediaEntries;
}

QList<OoxmlPackage::Entry> OoxmlPackage::presentation(const QList<Media>& media)
{
    QStringList overrides;
    overrides << "/ppt/presentation.xml|" + officeType("presentationml.presentation.main+xml")
              << "/ppt/slideMasters/slideMaster1.xml|" + officeType("presentationml.slideMaster+xml")
              << "/ppt/slideLayouts/slideLayout1.xml|" + officeType("presentationml.slideLayout+xml")
              << "/ppt/theme/theme1.xml|" + officeType("theme+xml");
    QStringList presentationRels;
    presentationRels << relationship("rId1", "slideMaster", "slideMasters/slideMaster1.xml")
                     << relationship("rId2", "theme", "theme/theme1.xml");
    QString slideIds;
    QList<Entry> slides;
    QList<Entry> mediaEntries;
    for (int i = 0; i < media.size(); ++i) {
        const QString slide = QString("slide%1.xml").arg(i + 1);
        overrides << "/ppt/slides/" + slide + "|" + officeType("presentationml.slide+xml");
        presentationRels << relationship(QString("rId%1").arg(i + 3), "slide", "slides/" + slide);
        slideIds += QString("<p:sldId id=\"%1\" r:id=\"rId%2\"/>").arg(256 + i).arg(i + 3);
        const QString picture =
            QString("<p:pic><p:nvPicPr><p:cNvPr id=\"2\" name=\"Picture 1\"/><p:cNvPicPr>"
                    "<a:picLocks noChangeAspect=\"1\"/></p:cNvPicPr><p:nvPr/></p:nvPicPr>"
                    "<p:blipFill><a:blip r:embed=\"rId2\"/><a:stretch><a:fillRect/></a:stretch></p:blipFill>"
                    "<p:spPr><a:xfrm><a:off x=\"457200\" y=\"342900\"/><a:ext cx=\"8229600\" cy=\"6172200\"/>"
                    "</a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr></p:pic>");
        slides << Entry{
            "ppt/slides/" + slide,
            xml(presentationRoot("sld", "<p:cSld><p:spTree>" + emptyTree() + picture +
                                            "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/>"
                                            "</p:clrMapOvr>")),
            true};
        slides << Entry{
            "ppt/slides/_rels/" + slide + ".rels",
            relationships({relationship("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml"),
                           relationship("rId2", "image", "../media/" + media[i].fileName)}),
            true};
        mediaEntries << Entry{"ppt/media/" + media[i].fileName, media[i].data, true};
    }

    const QString colourMap =
        "<p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" accent1=\"accent1\" "
        "accent2=\"accent2\" accent3=\"accent3\" accent4=\"accent4\" accent5=\"accent5\" "
        "accent6=\"accent6\" hlink=\"hlink\" folHlink=\"folHlink\"/>";
    QList<Entry> entries;
    entries << Entry{"[Content_Types].xml", contentTypes(overrides), true};
    entries << Entry{"_rels/.rels",
                     relationships({relationship("rId1", "officeDocument", "ppt/presentation.xml")}), true};
    entries << Entry{"ppt/presentation.xml",
                     xml(presentationRoot("presentation",
                                          "<p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/>"
                                          "</p:sldMasterIdLst><p:sldIdLst>" +
                                              slideIds +
                                              "</p:sldIdLst><p:sldSz cx=\"9144000\" cy=\"6858000\"/>"
                                              "<p:notesSz cx=\"6858000\" cy=\"9144000\"/>")),
                     true};
    entries << Entry{"ppt/_rels/presentation.xml.rels", relationships(presentationRels), true};
    entries << Entry{
        "ppt/slideMasters/slideMaster1.xml",
        xml(presentationRoot("sldMaster", "<p:cSld><p:spTree>" + emptyTree() + "</p:spTree></p:cSld>" +
                                              colourMap +
                                              "<p:sldLayoutIdLst><p:sldLayoutId id=\"2147483649\" "
                                              "r:id=\"rId1\"/></p:sldLayoutIdLst>")),
        true};
    entries << Entry{"ppt/slideMasters/_rels/slideMaster1.xml.rels",
                     relationships({relationship("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml"),
                                    relationship("rId2", "theme", "../theme/theme1.xml")}),
                     true};
    entries << Entry{
        "ppt/slideLayouts/slideLayout1.xml",
        xml(presentationRoot("sldLayout", "<p:cSld><p:spTree>" + emptyTree() +
                                              "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/>"
                                              "</p:clrMapOvr>")),
        true};
    entries << Entry{"ppt/slideLayouts/_rels/slideLayout1.xml.rels",
                     relationships({relationship("rId1", "slideMaster", "../slideMasters/slideMaster1.xml")}),
                     true};
    entries << Entry{"ppt/theme/theme1.xml", xml(theme()), true};
    return entries + slides + mediaEntries;
}

bool OoxmlPackage::write(const QString& path, const QList<Entry>& entries)
{
    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive)
        return false;
    for (const Entry& entry : entries) {
        void* copy = std::malloc(size_t(qMax(1, entry.data.size())));
        if (!copy) {
            zip_discard(archive);
            return false;
        }
        std::memcpy(copy, entry.data.constData(), size_t(entry.data.size()));
        zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(entry.data.size()), 1);
        if (!source) {
            std::free(copy);
            zip_discard(archive);
            return false;
        }
        const zip_int64_t index =
            zip_file_add(archive, entry.name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, zip_uint64_t(index), entry.deflated ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                 entry.deflated ? 6 : 0);
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return false;
    }
    return true;
}

QList<OoxmlPackage::Entry> OoxmlPackage::read(const QString& path)
{
    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive)
        return {};
    QList<Entry> entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_file_t* file = nullptr;
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &stat) != 0 ||
            !(file = zip_fopen_index(archive, zip_uint64_t(i), 0))) {
            zip_discard(archive);
            return {};
        }
        Entry entry;
        entry.name = QString::fromUtf8(stat.name);
        entry.deflated = stat.comp_method == ZIP_CM_DEFLATE;
        entry.data.resize(int(stat.size));
        const zip_int64_t got = zip_fread(file, entry.data.data(), stat.size);
        zip_fclose(file);
        if (got != zip_int64_t(stat.size)) {
            zip_discard(archive);
            return {};
        }
        entries << entry;
    }
    zip_discard(archive);
    return entries;
}

QImage OoxmlPackage::photo(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    // The scene is drawn at half size and enlarged at the end, the way a camera's demosaicing
    // leaves neighbouring pixels related.
    const int w = qMax(1, width / 2);
    const int h = qMax(1, height / 2);

    // Smooth colour fields: a coarse random grid scaled up with interpolation.
    QImage coarse(16, 12, QImage::Format_RGB32);
    for (int y = 0; y < coarse.height(); ++y)
        for (int x = 0; x < coarse.width(); ++x)
            coarse.setPixel(x, y, qRgb(random.bounded(256), random.bounded(256), random.bounded(256)));
    QImage image = coarse.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    // Objects with hard edges, as in a real scene.
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 40; ++i) {
        const QColor colour(random.bounded(256), random.bounded(256), random.bounded(256), 160);
        painter.setPen(QPen(colour.darker(150), 1 + random.bounded(4)));
        painter.setBrush(colour);
        painter.drawEllipse(random.bounded(w), random.bounded(h), 1 + random.bounded(qMax(1, w / 4)),
                            1 + random.bounded(qMax(1, h / 4)));
    }
    painter.end();

    // Sensor noise and fine texture.
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(13)) - 6;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                           qBound(0, qBlue(p) + n, 255));
        }
    }
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage OoxmlPackage::diagram(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, width, 0);
    band.setColorAt(0, QColor(20, 60, 140));
    band.setColorAt(1, QColor(230, 240, 255));
    painter.fillRect(0, 0, width, height / 5, band);
    for (int i = 0; i < 12; ++i) {
        painter.setBrush(QColor::fromHsv(i * 30, 160, 220));
        painter.setPen(QPen(Qt::black, qMax(1, width / 600)));
        painter.drawRoundedRect(QRectF(width * (0.05 + (i % 4) * 0.23), height * (0.3 + (i / 4) * 0.22),
                                       width * 0.18, height * 0.15),
                                width / 100.0, width / 100.0);
    }
    painter.setPen(QPen(QColor(90, 90, 90), qMax(1, width / 800)));
    for (int i = 0; i < 20; ++i)
        painter.drawLine(QPointF(width * 0.05, height * (0.22 + i * 0.035)),
                         QPointF(width * (0.95 - (i % 5) * 0.1), height * (0.22 + i * 0.035)));
    painter.end();
    return image;
}

QByteArray OoxmlPackage::jpeg(const QImage& image, int quality)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(image) ? data : QByteArray();
}

QByteArray OoxmlPackage::png(const QImage& image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    return writer.write(image) ? data : QByteArray();
}
