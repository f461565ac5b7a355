#pragma once

class QColor;
class QPainter;
class QSize;

// The program's mark (title-bar logo, window icon, about box) and the account avatars.
namespace BrandPictures
{
void drawLogo(QPainter& painter, const QSize& size);
// One of the four avatars, `variant` 0 to 3.
void drawAvatar(QPainter& painter, const QSize& size, int variant);
} // namespace BrandPictures
