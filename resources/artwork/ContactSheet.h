#pragma once

#include <QImage>
#include <QString>

class PictureCatalog;
class QWidget;

// One picture for judging the artwork by eye: every picture at 1x and stretched 1.5x as a border
// image is, then sample widgets styled by the real style sheets at factors 1.0 and 1.5.
class ContactSheet
{
public:
    // `imagesFolder` holds the drawn pictures, `sheetsFolder` the style sheets that name them.
    ContactSheet(const PictureCatalog& catalog, const QString& imagesFolder, const QString& sheetsFolder);

    QImage render() const;

private:
    QImage renderPictures() const;
    QImage renderWidgets(float factor) const;
    QString sheet(const QString& name) const;
    QWidget* buildSample() const;

    const PictureCatalog& m_catalog;
    QString m_imagesFolder;
    QString m_sheetsFolder;
};
