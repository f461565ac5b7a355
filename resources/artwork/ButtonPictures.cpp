#include "ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QSize>

#include "ArtworkPalette.h"

namespace
{

// Every face is designed at its pixel size and drawn through a scale, so the same code would
// serve another size.
void beginDesign(QPainter& p, const QSize& size, qreal width, qreal height)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / width, size.height() / height);
    p.setBrush(Qt::NoBrush);
}

QPen linePen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The title-bar icons fill a 16-pixel box (x 11.5 to 27.5) that ends 8 pixels before the text
// which the 24-pixel left padding centres in the rest of the button, 9 at factor 1.5.
void drawPerson(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ArtworkPalette::blue);
    p.drawEllipse(QPointF(19.5, 10.6), 3.7, 3.7);
    QPainterPath body;
    body.moveTo(13.1, 21.6);
    body.arcTo(QRectF(13.1, 15.6, 12.8, 12), 180, -180);
    body.closeSubpath();
    p.drawPath(body);
}

void drawHeadset(QPainter& p)
{
    p.setPen(linePen(ArtworkPalette::blue, 1.6));
    p.drawArc(QRectF(13.7, 7.8, 11.6, 12), 180 * 16, -180 * 16);
    QPainterPath mic;
    mic.moveTo(24.9, 18.6);
    mic.quadTo(24.9, 21.8, 21.1, 21.8);
    p.drawPath(mic);
    p.setPen(Qt::NoPen);
    p.setBrush(ArtworkPalette::blue);
    p.drawRoundedRect(QRectF(12.1, 12.8, 4, 6.6), 1.6, 1.6);
    p.drawRoundedRect(QRectF(22.9, 12.8, 4, 6.6), 1.6, 1.6);
    p.drawEllipse(QPointF(20.1, 21.8), 1.5, 1.5);
}

void drawMenuLines(QPainter& p)
{
    p.setPen(linePen(ArtworkPalette::blue, 1.7));
    for (qreal y : {9.8, 14.5, 19.2})
        p.drawLine(QPointF(13.5, y), QPointF(25.5, y));
}

void drawGlyph(QPainter& p, ButtonPictures::WindowGlyph glyph, const QColor& colour)
{
    using ButtonPictures::WindowGlyph;
    switch (glyph) {
    case WindowGlyph::Minimise:
        p.setPen(QPen(colour, 1.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(11, 17.5), QPointF(23, 17.5));
        break;
    case WindowGlyph::Maximise:
        p.setPen(QPen(colour, 1.2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawRect(QRectF(11.5, 11.5, 11, 11));
        break;
    case WindowGlyph::Close:
        p.setPen(QPen(colour, 1.3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11.5, 11.5), QPointF(22.5, 22.5));
        p.drawLine(QPointF(22.5, 11.5), QPointF(11.5, 22.5));
        break;
    }
}

void drawPlusInCircle(QPainter& p, const QPointF& centre)
{
    p.setPen(linePen(ArtworkPalette::blue, 1.3));
    p.drawEllipse(centre, 5.8, 5.8);
    p.drawLine(centre + QPointF(-3, 0), centre + QPointF(3, 0));
    p.drawLine(centre + QPointF(0, -3), centre + QPointF(0, 3));
}

} // namespace

void ButtonPictures::drawTitleButton(QPainter& p, const QSize& size, TitleIcon icon)
{
    beginDesign(p, size, 76, 29);
    p.setPen(Qt::NoPen);
    p.setBrush(ArtworkPalette::wash);
    p.drawRoundedRect(QRectF(0, 0, 76, 29), 14.5, 14.5);
    switch (icon) {
    case TitleIcon::Login:
        drawPerson(p);
        break;
    case TitleIcon::Customer:
        drawHeadset(p);
        break;
    case TitleIcon::Menu:
        drawMenuLines(p);
        break;
    }
}

void ButtonPictures::drawWindowButton(QPainter& p, const QSize& size, WindowGlyph glyph, bool hovered)
{
    beginDesign(p, size, 34, 34);
    if (hovered) {
        p.setPen(Qt::NoPen);
        p.setBrush(ArtworkPalette::tint);
        p.drawRoundedRect(QRectF(2, 2, 30, 30), 4, 4);
    }
    drawGlyph(p, glyph, hovered ? ArtworkPalette::blue : ArtworkPalette::glyphGrey);
}

// The arrow ends 9 pixels before the text that the 16-pixel left padding centres (also at factor
// 1.5); the frame matches the mode buttons beside it.
void ButtonPictures::drawReturnButton(QPainter& p, const QSize& size, bool hovered)
{
    beginDesign(p, size, 72, 40);
    const QColor ink = hovered ? ArtworkPalette::blue : ArtworkPalette::glyphGrey;
    p.setPen(QPen(hovered ? ArtworkPalette::blue : ArtworkPalette::lineGrey, 1));
    p.setBrush(hovered ? ArtworkPalette::wash : QColor(Qt::white));
    p.drawRoundedRect(QRectF(0.5, 0.5, 71, 39), 2, 2);
    p.setPen(linePen(ink, 1.6));
    p.drawLine(QPointF(8.5, 20), QPointF(18.5, 20));
    QPainterPath head;
    head.moveTo(13.5, 15);
    head.lineTo(8.5, 20);
    head.lineTo(13.5, 25);
    p.setBrush(Qt::NoBrush);
    p.drawPath(head);
}

void ButtonPictures::drawCheckedMode(QPainter& p, const QSize& size)
{
    beginDesign(p, size, 120, 42);
    p.setPen(QPen(ArtworkPalette::blue, 1));
    p.setBrush(ArtworkPalette::wash);
    p.drawRoundedRect(QRectF(0.5, 0.5, 119, 41), 2, 2);
}

// Drawn with the slices "0 -3 0 3" of both add buttons in mind: the sheet shows the picture
// moved 3 pixels to the left and its first 3 columns at the right edge, which stay empty.
void ButtonPictures::drawAddFile(QPainter& p, const QSize& size)
{
    beginDesign(p, size, 100, 24);
    drawPlusInCircle(p, QPointF(3 + 9.5, 12));
}

void ButtonPictures::drawClear(QPainter& p, const QSize& size)
{
    beginDesign(p, size, 100, 24);
    p.setPen(linePen(ArtworkPalette::blue, 1.3));
    p.drawLine(QPointF(5.2, 7.6), QPointF(16.8, 7.6));
    QPainterPath handle;
    handle.moveTo(8.8, 7.6);
    handle.lineTo(8.8, 5.4);
    handle.lineTo(13.2, 5.4);
    handle.lineTo(13.2, 7.6);
    p.drawPath(handle);
    QPainterPath bin;
    bin.moveTo(6.8, 9.6);
    bin.lineTo(7.6, 18.6);
    bin.lineTo(14.4, 18.6);
    bin.lineTo(15.2, 9.6);
    p.drawPath(bin);
    p.drawLine(QPointF(9.8, 11.2), QPointF(9.8, 16.2));
    p.drawLine(QPointF(12.2, 11.2), QPointF(12.2, 16.2));
}

void ButtonPictures::drawHistory(QPainter& p, const QSize& size)
{
    beginDesign(p, size, 100, 24);
    const QPointF centre(11.5, 12);
    p.setPen(linePen(ArtworkPalette::blue, 1.3));
    p.drawEllipse(centre, 6.2, 6.2);
    p.drawLine(centre, centre + QPointF(0, -3.8));
    p.drawLine(centre, centre + QPointF(2.8, 1.8));
}

void ButtonPictures::drawRadio(QPainter& p, const QSize& size, bool checked)
{
    beginDesign(p, size, 16, 16);
    const QPointF centre(8, 8);
    p.setPen(QPen(checked ? ArtworkPalette::blue : ArtworkPalette::ringGrey, 1.2));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 6.9, 6.9);
    if (!checked)
        return;
    p.setPen(Qt::NoPen);
    p.setBrush(ArtworkPalette::blue);
    p.drawEllipse(centre, 3.6, 3.6);
}
