#include <QImage>
#include <QtTest>

#include "QCustomShadowEffect.h"

namespace
{
const QColor kPaper(255, 255, 255);
const QColor kSource(52, 122, 235);

// A white page with one opaque blue square at (50, 50), 100 x 100, that carries the effect.
struct Scene {
    QWidget page;
    QWidget* square;

    Scene()
    {
        page.resize(200, 200);
        page.setAutoFillBackground(true);
        QPalette paper;
        paper.setColor(QPalette::Window, kPaper);
        page.setPalette(paper);
        square = new QWidget(&page);
        square->setGeometry(50, 50, 100, 100);
        square->setAutoFillBackground(true);
        QPalette blue;
        blue.setColor(QPalette::Window, kSource);
        square->setPalette(blue);
    }
};
} // namespace

// The drop shadow: its defaults, the room it reserves and what it paints.
class TestShadowEffect : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void boundingRect();
    void settersUpdateTheBoundingRect();
    void shadowAroundTheSource();
    void nothingWithoutRadiusAndDistance();
    void colourShowsAtTheNextRepaint();
};

void TestShadowEffect::defaults()
{
    QCustomShadowEffect effect;
    QCOMPARE(effect.distance(), 4.0);
    QCOMPARE(effect.blurRadius(), 10.0);
    QCOMPARE(effect.color(), QColor(0, 0, 0, 80));
    QObject owner;
    auto* owned = new QCustomShadowEffect(&owner);
    QCOMPARE(owned->parent(), &owner);
}

void TestShadowEffect::boundingRect()
{
    QCustomShadowEffect effect;
    QCOMPARE(effect.boundingRectFor(QRectF(0, 0, 100, 50)), QRectF(-14, -14, 128, 78));
    effect.setBlurRadius(8);
    effect.setDistance(1);
    QCOMPARE(effect.boundingRectFor(QRectF(10, 20, 30, 40)), QRectF(1, 11, 48, 58));
    effect.setBlurRadius(0);
    effect.setDistance(0);
    QCOMPARE(effect.boundingRectFor(QRectF(10, 20, 30, 40)), QRectF(10, 20, 30, 40));
    // A negative reach never shrinks the source's own rectangle.
    effect.setDistance(-5);
    QCOMPARE(effect.boundingRectFor(QRectF(10, 20, 30, 40)), QRectF(10, 20, 30, 40));
}

void TestShadowEffect::settersUpdateTheBoundingRect()
{
    Scene scene;
    auto* effect = new QCustomShadowEffect;
    scene.square->setGraphicsEffect(effect);
    QCOMPARE(effect->boundingRect(), QRectF(-14, -14, 128, 128));
    effect->setBlurRadius(8);
    QCOMPARE(effect->boundingRect(), QRectF(-12, -12, 124, 124));
    effect->setDistance(1);
    QCOMPARE(effect->boundingRect(), QRectF(-9, -9, 118, 118));
    effect->setColor(QColor(255, 0, 0));
    QCOMPARE(effect->boundingRect(), QRectF(-9, -9, 118, 118));
}

void TestShadowEffect::shadowAroundTheSource()
{
    Scene scene;
    auto* effect = new QCustomShadowEffect;
    effect->setBlurRadius(8);
    effect->setDistance(1);
    effect->setColor(QColor(0, 0, 0, 160));
    scene.square->setGraphicsEffect(effect);
    const QImage shot = scene.page.grab().toImage();

    // The source itself is drawn unchanged on top.
    QCOMPARE(shot.pixelColor(100, 100), kSource);
    QCOMPARE(shot.pixelColor(51, 51), kSource);
    // Just outside it on every side the paper is shaded, grey and darker than white.
    for (const QPoint& p : {QPoint(48, 100), QPoint(100, 48), QPoint(151, 100), QPoint(100, 151)}) {
        const QColor c = shot.pixelColor(p);
        QVERIFY2(c.red() < 250, qPrintable(QString("no shade at %1,%2").arg(p.x()).arg(p.y())));
        QCOMPARE(c.red(), c.green());
        QCOMPARE(c.green(), c.blue());
    }
    // The shade fades with distance and ends within the reserved room.
    QVERIFY(shot.pixelColor(46, 100).red() > shot.pixelColor(49, 100).red());
    QCOMPARE(shot.pixelColor(10, 10), kPaper);
    QCOMPARE(shot.pixelColor(100, 30), kPaper);
}

void TestShadowEffect::nothingWithoutRadiusAndDistance()
{
    Scene scene;
    auto* effect = new QCustomShadowEffect;
    effect->setBlurRadius(0);
    effect->setDistance(0);
    effect->setColor(QColor(0, 0, 0, 255));
    scene.square->setGraphicsEffect(effect);
    const QImage shot = scene.page.grab().toImage();
    for (int x = 0; x < 200; ++x) {
        for (int y = 0; y < 200; ++y) {
            const bool inside = x >= 50 && x < 150 && y >= 50 && y < 150;
            if (shot.pixelColor(x, y) != (inside ? kSource : kPaper))
                QFAIL(qPrintable(QString("pixel %1,%2 changed").arg(x).arg(y)));
        }
    }
}

void TestShadowEffect::colourShowsAtTheNextRepaint()
{
    Scene scene;
    auto* effect = new QCustomShadowEffect;
    effect->setBlurRadius(8);
    effect->setDistance(1);
    effect->setColor(QColor(0, 0, 0, 200));
    scene.square->setGraphicsEffect(effect);
    const QColor dark = scene.page.grab().toImage().pixelColor(48, 100);
    QCOMPARE(dark.red(), dark.blue());

    effect->setColor(QColor(255, 0, 0, 255));
    const QColor red = scene.page.grab().toImage().pixelColor(48, 100);
    QCOMPARE(red.red(), 255);
    QVERIFY(red.green() < 250);
    QCOMPARE(red.green(), red.blue());
}

QTEST_MAIN(TestShadowEffect)
#include "tst_shadoweffect.moc"
