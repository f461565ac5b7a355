#pragma once

#include <QChar>
#include <QPainterPath>
#include <QRectF>

// Capital letters built from strokes, so that the pictures never depend on the fonts of the
// machine that draws them.
namespace Glyphs
{
// The filled shape of `c` (one of P, D, F, W) filling `box`, with strokes `stroke` wide.
QPainterPath letter(QChar c, const QRectF& box, qreal stroke);
} // namespace Glyphs
