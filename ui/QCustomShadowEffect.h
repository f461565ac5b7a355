#pragma once

#include <QColor>
#include <QGraphicsEffect>

// The soft drop shadow around the frameless windows: the source's shape, grown by the distance on
// every side, blurred and tinted, under the source.
class QCustomShadowEffect : public QGraphicsEffect
{
    Q_OBJECT
public:
    explicit QCustomShadowEffect(QObject* parent = nullptr);

    void setDistance(double distance);
    double distance() const { return m_distance; }

    void setBlurRadius(double blurRadius);
    double blurRadius() const { return m_blurRadius; }

    // Shows at the next repaint; the bounding rectangle does not depend on the colour.
    void setColor(const QColor& color);
    QColor color() const { return m_color; }

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    double m_distance;
    double m_blurRadius;
    QColor m_color;
};
