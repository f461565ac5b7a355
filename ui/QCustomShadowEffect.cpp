#include "QCustomShadowEffect.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

// Exported by QtWidgets (the blur of QGraphicsBlurEffect) but declared in no public header.
Q_DECL_IMPORT void qt_blurImage(QPainter* painter, QImage& blurImage, qreal radius, bool quality,
                                bool alphaOnly, int transposed = 0);

QCustomShadowEffect::QCustomShadowEffect(QObject* parent)
    : QGraphicsEffect(parent)
    , m_distance(4.0)
    , m_blurRadius(10.0)
    , m_color(0, 0, 0, 80)
{
}

void QCustomShadowEffect::setDistance(double distance)
{
    m_distance = distance;
    updateBoundingRect();
}

void QCustomShadowEffect::setBlurRadius(double blurRadius)
{
    m_blurRadius = blurRadius;
    updateBoundingRect();
}

void QCustomShadowEffect::setColor(const QColor& color)
{
    m_color = color;
}

QRectF QCustomShadowEffect::boundingRectFor(const QRectF& rect) const
{
    const qreal delta = m_blurRadius + m_distance;
    return rect.united(rect.adjusted(-delta, -delta, delta, delta));
}

void QCustomShadowEffect::draw(QPainter* painter)
{
    if (m_blurRadius + m_distance <= 0) {
        drawSource(painter);
        return;
    }

    QPoint offset(0, 0);
    const QPixmap source =
        sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::PadToEffectiveBoundingRect);
    if (source.isNull())
        return;

    const QTransform kept = painter->worldTransform();
    painter->setWorldTransform(QTransform());

    const QSize target(int(source.width() + 2 * m_distance), int(source.height() + 2 * m_distance));
    QImage shape(target, QImage::Format_ARGB32_Premultiplied);
    shape.fill(0);
    const QPixmap grown = source.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPainter shapePainter(&shape);
    shapePainter.setCompositionMode(QPainter::CompositionMode_Source);
    shapePainter.drawPixmap(QPointF(-m_distance, -m_distance), grown);
    shapePainter.end();

    QImage blurred(target, QImage::Format_ARGB32_Premultiplied);
    blurred.fill(0);
    QPainter blurPainter(&blurred);
    qt_blurImage(&blurPainter, shape, m_blurRadius, false, true);
    blurPainter.end();
    shape = blurred;

    QPainter tintPainter(&shape);
    tintPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tintPainter.fillRect(shape.rect(), m_color);
    tintPainter.end();

    painter->drawImage(offset, shape);
    painter->drawPixmap(QPointF(offset), source);
    painter->setWorldTransform(kept);
}
