#include "KindPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QSize>

#include "ArtworkPalette.h"
#include "Glyphs.h"

namespace
{

constexpr qreal kDesign = 120.0;

void beginDesign(QPainter& p, const QSize& size)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / kDesign, size.height() / kDesign);
    p.setPen(Qt::NoPen);
    p.setBrush(ArtworkPalette::tint);
    p.drawEllipse(QPointF(60, 60), 54, 54);
}

// A portrait page with its top right corner folded down.
void drawPage(QPainter& p)
{
    const QRectF page(32, 18, 56, 78);
    const qreal fold = 17;
    const qreal corner = 5;
    QPainterPath sheet;
    sheet.moveTo(page.left() + corner, page.top());
    sheet.lineTo(page.right() - fold, page.top());
    sheet.lineTo(page.right(), page.top() + fold);
    sheet.lineTo(page.right(), page.bottom() - corner);
    sheet.quadTo(page.bottomRight(), QPointF(page.right() - corner, page.bottom()));
    sheet.lineTo(page.left() + corner, page.bottom());
    sheet.quadTo(page.bottomLeft(), QPointF(page.left(), page.bottom() - corner));
    sheet.lineTo(page.left(), page.top() + corner);
    sheet.quadTo(page.topLeft(), QPointF(page.left() + corner, page.top()));
    p.setBrush(ArtworkPalette::blue);
    p.drawPath(sheet);

    QPainterPath flap;
    flap.moveTo(page.right() - fold, page.top());
    flap.lineTo(page.right() - fold, page.top() + fold - 3);
    flap.quadTo(QPointF(page.right() - fold, page.top() + fold),
                QPointF(page.right() - fold + 3, page.top() + fold));
    flap.lineTo(page.right(), page.top() + fold);
    flap.closeSubpath();
    p.setBrush(ArtworkPalette::blueSoft);
    p.drawPath(flap);
}

void drawLetters(QPainter& p, const QString& letters, const QRectF& box, qreal stroke, qreal gap)
{
    const int count = letters.size();
    const qreal width = (box.width() - gap * (count - 1)) / count;
    p.setBrush(Qt::white);
    for (int i = 0; i < count; ++i) {
        const QRectF cell(box.left() + i * (width + gap), box.top(), width, box.height());
        p.drawPath(Glyphs::letter(letters.at(i), cell, stroke));
    }
}

} // namespace

void KindPictures::drawVideo(QPainter& p, const QSize& size)
{
    beginDesign(p, size);
    const QRectF body(22, 33, 76, 54);
    p.setBrush(ArtworkPalette::blue);
    p.drawRoundedRect(body, 8, 8);

    // The perforations of a film strip along both edges.
    p.setBrush(Qt::white);
    const qreal hole = 6;
    const qreal step = (body.width() - 14 - hole) / 5;
    for (int i = 0; i < 6; ++i) {
        const qreal x = body.left() + 7 + i * step;
        p.drawRoundedRect(QRectF(x, body.top() + 5, hole, 5), 1.5, 1.5);
        p.drawRoundedRect(QRectF(x, body.bottom() - 10, hole, 5), 1.5, 1.5);
    }

    QPainterPath play;
    play.moveTo(53, 49);
    play.lineTo(71, 60);
    play.lineTo(53, 71);
    play.closeSubpath();
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(play);
}

void KindPictures::drawImage(QPainter& p, const QSize& size)
{
    beginDesign(p, size);
    const QRectF body(22, 31, 76, 58);
    p.setBrush(ArtworkPalette::blue);
    p.drawRoundedRect(body, 8, 8);

    const QRectF photo = body.adjusted(7, 7, -7, -7);
    QPainterPath frame;
    frame.addRoundedRect(photo, 3, 3);
    p.setClipPath(frame);
    p.setBrush(ArtworkPalette::blueSoft);
    QPainterPath far;
    far.moveTo(56, photo.bottom() + 2);
    far.lineTo(72, 60);
    far.lineTo(94, photo.bottom() + 2);
    far.closeSubpath();
    p.setPen(QPen(ArtworkPalette::blueSoft, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(26, photo.bottom() + 2);
    near.lineTo(48, 52);
    near.lineTo(70, photo.bottom() + 2);
    near.closeSubpath();
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(near);
    p.setClipping(false);

    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(76, 48), 6, 6);
}

void KindPictures::drawPdf(QPainter& p, const QSize& size)
{
    beginDesign(p, size);
    drawPage(p);
    drawLetters(p, "PDF", QRectF(39, 56, 42, 20), 4.2, 3);
}

void KindPictures::drawWord(QPainter& p, const QSize& size)
{
    beginDesign(p, size);
    drawPage(p);
    drawLetters(p, "W", QRectF(41, 49, 38, 32), 5.5, 0);
}

void KindPictures::drawSlides(QPainter& p, const QSize& size)
{
    beginDesign(p, size);
    drawPage(p);
    drawLetters(p, "P", QRectF(49, 48, 23, 34), 6.5, 0);
}
