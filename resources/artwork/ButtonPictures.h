#pragma once

class QPainter;
class QSize;

// Faces of the buttons and indicators. Icons sit where the style sheets' left paddings leave
// room beside the centred button texts, at every display factor.
namespace ButtonPictures
{
enum class TitleIcon { Login, Customer, Menu };
enum class WindowGlyph { Minimise, Maximise, Close };

void drawTitleButton(QPainter& painter, const QSize& size, TitleIcon icon);
void drawWindowButton(QPainter& painter, const QSize& size, WindowGlyph glyph, bool hovered);
void drawReturnButton(QPainter& painter, const QSize& size, bool hovered);
void drawCheckedMode(QPainter& painter, const QSize& size);
void drawAddFile(QPainter& painter, const QSize& size);
void drawClear(QPainter& painter, const QSize& size);
void drawHistory(QPainter& painter, const QSize& size);
void drawRadio(QPainter& painter, const QSize& size, bool checked);
} // namespace ButtonPictures
