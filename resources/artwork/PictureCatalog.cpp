#include "PictureCatalog.h"

#include <QDir>
#include <QPainter>

#include "BrandPictures.h"
#include "ButtonPictures.h"
#include "KindPictures.h"

PictureCatalog::PictureCatalog()
{
    using namespace ButtonPictures;
    using std::placeholders::_1;
    using std::placeholders::_2;
    m_pictures = {
        {"logo.png", {30, 30}, BrandPictures::drawLogo},
        {"VideoComp.png", {120, 120}, KindPictures::drawVideo},
        {"ImageComp.png", {120, 120}, KindPictures::drawImage},
        {"PDFComp.png", {100, 100}, KindPictures::drawPdf},
        {QString::fromUtf8("组 6700.png"), {100, 100}, KindPictures::drawWord},
        {QString::fromUtf8("组 6702.png"), {100, 100}, KindPictures::drawSlides},
        {"login.png", {76, 29}, std::bind(drawTitleButton, _1, _2, TitleIcon::Login)},
        {"customer.png", {76, 29}, std::bind(drawTitleButton, _1, _2, TitleIcon::Customer)},
        {"menu.png", {76, 29}, std::bind(drawTitleButton, _1, _2, TitleIcon::Menu)},
        {"MainWidgetMin.png", {34, 34}, std::bind(drawWindowButton, _1, _2, WindowGlyph::Minimise, false)},
        {"btn.min.hover.png", {34, 34}, std::bind(drawWindowButton, _1, _2, WindowGlyph::Minimise, true)},
        {"MainWidgetResize.png", {34, 34}, std::bind(drawWindowButton, _1, _2, WindowGlyph::Maximise, false)},
        {"btn.max.hover.png", {34, 34}, std::bind(drawWindowButton, _1, _2, WindowGlyph::Maximise, true)},
        {"MainWidgetClose.png", {34, 34}, std::bind(drawWindowButton, _1, _2, WindowGlyph::Close, false)},
        {"btn.close.hover.png", {34, 34}, std::bind(drawWindowButton, _1, _2, WindowGlyph::Close, true)},
        {"btn.return.png", {72, 40}, std::bind(drawReturnButton, _1, _2, false)},
        {"btn.return.hover.png", {72, 40}, std::bind(drawReturnButton, _1, _2, true)},
        {"btn.checked.png", {120, 42}, drawCheckedMode},
        {"btn.add.file.png", {100, 24}, drawAddFile},
        {"btn.clear.png", {100, 24}, drawClear},
        {"btn.history.png", {100, 24}, drawHistory},
        {"check.box.normal.png", {16, 16}, std::bind(drawRadio, _1, _2, false)},
        {"check.box.checked.png", {16, 16}, std::bind(drawRadio, _1, _2, true)},
        {"userImage1.png", {35, 35}, std::bind(BrandPictures::drawAvatar, _1, _2, 0)},
        {"userImage2.png", {35, 35}, std::bind(BrandPictures::drawAvatar, _1, _2, 1)},
        {"userImage3.png", {35, 35}, std::bind(BrandPictures::drawAvatar, _1, _2, 2)},
        {"userImage4.png", {35, 35}, std::bind(BrandPictures::drawAvatar, _1, _2, 3)},
        {"AboutImage.png", {80, 80}, BrandPictures::drawLogo},
    };
}

QImage PictureCatalog::render(const Picture& picture)
{
    QImage image(picture.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    picture.draw(painter, picture.size);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool PictureCatalog::writeAll(const QString& folder, QString* error) const
{
    if (!QDir().mkpath(folder)) {
        *error = folder;
        return false;
    }
    for (const Picture& picture : m_pictures) {
        const QString path = QDir(folder).filePath(picture.name);
        if (!render(picture).save(path, "PNG")) {
            *error = path;
            return false;
        }
    }
    return true;
}
