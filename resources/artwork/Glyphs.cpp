#include "Glyphs.h"

#include <QPainterPathStroker>

namespace
{

// Centre lines, in a box already inset by half a stroke.
QPainterPath letterP(const QRectF& r)
{
    const qreal bowl = r.height() * 0.56;
    const qreal radius = bowl / 2;
    QPainterPath path;
    path.moveTo(r.left(), r.bottom());
    path.lineTo(r.left(), r.top());
    path.lineTo(r.right() - radius, r.top());
    path.arcTo(QRectF(r.right() - 2 * radius, r.top(), 2 * radius, bowl), 90, -180);
    path.lineTo(r.left(), r.top() + bowl);
    return path;
}

QPainterPath letterD(const QRectF& r)
{
    const qreal radius = qMin(r.width() * 0.62, r.height() / 2);
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - radius, r.top());
    path.arcTo(QRectF(r.right() - 2 * radius, r.top(), 2 * radius, r.height()), 90, -180);
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    return path;
}

QPainterPath letterF(const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.right(), r.top());
    path.lineTo(r.left(), r.top());
    path.lineTo(r.left(), r.bottom());
    path.moveTo(r.left(), r.top() + r.height() * 0.52);
    path.lineTo(r.right() - r.width() * 0.14, r.top() + r.height() * 0.52);
    return path;
}

// The W's strokes run past the box at the top and end in points below it; clipping to the box
// cuts both flat.
QPainterPath letterW(const QRectF& r, qreal stroke)
{
    const qreal top = r.top() - stroke;
    const qreal bottom = r.bottom() + stroke * 0.15;
    QPainterPath path;
    path.moveTo(r.left() - stroke * 0.15, top);
    path.lineTo(r.left() + r.width() * 0.26, bottom);
    path.lineTo(r.center().x(), r.top() + r.height() * 0.28);
    path.lineTo(r.right() - r.width() * 0.26, bottom);
    path.lineTo(r.right() + stroke * 0.15, top);
    return path;
}

QPainterPath centreLine(QChar c, const QRectF& inset, qreal stroke)
{
    switch (c.unicode()) {
    case 'P':
        return letterP(inset);
    case 'D':
        return letterD(inset);
    case 'F':
        return letterF(inset);
    case 'W':
        return letterW(inset, stroke);
    default:
        return QPainterPath();
    }
}

} // namespace

QPainterPath Glyphs::letter(QChar c, const QRectF& box, qreal stroke)
{
    const qreal half = stroke / 2;
    const QPainterPath line = centreLine(c, box.adjusted(half, half, -half, -half), stroke);
    QPainterPathStroker stroker;
    stroker.setWidth(stroke);
    stroker.setCapStyle(Qt::SquareCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setMiterLimit(8);
    QPainterPath clip;
    clip.addRect(box);
    return stroker.createStroke(line).simplified().intersected(clip);
}
