#pragma once

#include <functional>

#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

class QPainter;

// Every window picture of the resource bundle: its file name under Images/, its pixel size and
// the code that draws it.
class PictureCatalog
{
public:
    struct Picture {
        QString name;
        QSize size;
        std::function<void(QPainter&, const QSize&)> draw;
    };

    PictureCatalog();

    const QVector<Picture>& pictures() const { return m_pictures; }
    static QImage render(const Picture& picture);
    // Draws every picture into `folder`; false (with the failing name in `error`) when one
    // cannot be written.
    bool writeAll(const QString& folder, QString* error) const;

private:
    QVector<Picture> m_pictures;
};
