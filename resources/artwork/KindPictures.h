#pragma once

class QPainter;
class QSize;

// The pictures of the five kind tiles (and of the empty list page). They share one design on a
// 120-unit square, so the 100-pixel document pictures, stretched into the same 120-pixel labels
// as the video and image pictures, match them in size and weight.
namespace KindPictures
{
void drawVideo(QPainter& painter, const QSize& size);
void drawImage(QPainter& painter, const QSize& size);
void drawPdf(QPainter& painter, const QSize& size);
void drawWord(QPainter& painter, const QSize& size);
void drawSlides(QPainter& painter, const QSize& size);
} // namespace KindPictures
