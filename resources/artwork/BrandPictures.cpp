#include "BrandPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QSize>

#include "ArtworkPalette.h"

void BrandPictures::drawLogo(QPainter& p, const QSize& size)
{
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = qMin(size.width(), size.height());
    p.setPen(Qt::NoPen);
    p.setBrush(ArtworkPalette::blue);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.24, s * 0.24);

    // A V whose arms close in on each other: the file that gets smaller.
    const qreal stroke = s * 0.135;
    const QPointF left(s * 0.27, s * 0.29);
    const QPointF apex(s * 0.5, s * 0.73);
    const QPointF right(s * 0.73, s * 0.29);
    p.setPen(QPen(QColor(0xB9, 0xD2, 0xFA), stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(apex, right);
    p.setPen(QPen(Qt::white, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(left, apex);
}

void BrandPictures::drawAvatar(QPainter& p, const QSize& size, int variant)
{
    struct Colours {
        QColor face;
        QColor figure;
    };
    const Colours colours[] = {
        {ArtworkPalette::tint, ArtworkPalette::blue},
        {ArtworkPalette::blue, Qt::white},
        {QColor(0x24, 0x58, 0xB5), QColor(0xCF, 0xE0, 0xFB)},
        {QColor(0x7F, 0xAE, 0xF4), Qt::white},
    };
    const Colours& c = colours[qBound(0, variant, 3)];
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(0, 0, size.width(), size.height());
    QPainterPath round;
    round.addEllipse(disc);
    p.setPen(Qt::NoPen);
    p.setBrush(c.face);
    p.drawPath(round);

    p.setClipPath(round);
    p.setBrush(c.figure);
    const qreal w = disc.width();
    const qreal h = disc.height();
    p.drawEllipse(QPointF(w * 0.5, h * 0.39), w * 0.17, h * 0.17);
    p.drawEllipse(QRectF(w * 0.19, h * 0.64, w * 0.62, h * 0.6));
}
