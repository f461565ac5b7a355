#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

#include "DpiScale.h"
#include "PressFrame.h"

namespace
{
// The page a tile sits on; counts the presses that reach it.
class Page : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        QWidget::mousePressEvent(event);
    }
};

void enter(QWidget* widget)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(widget->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(widget, &event);
}

void leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}
} // namespace

// The home page tile: it lifts by 3 pixels while hovered and reports every press.
class TestPressFrame : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void liftWhileHovered();
    void liftIsNotScaled();
    void liftWhenTheCursorReallyMoves();
    void pressWithAnyButton_data();
    void pressWithAnyButton();

private:
    QScopedPointer<Page> m_page;
    PressFrame* m_tile = nullptr;
};

void TestPressFrame::init()
{
    m_page.reset(new Page);
    m_page->resize(400, 300);
    m_tile = new PressFrame(m_page.data());
    m_tile->setObjectName("frameVideoComp");
    m_tile->setGeometry(40, 60, 120, 120);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.data()));
}

void TestPressFrame::cleanup()
{
    m_page.reset();
    dpiScale = 1.0f;
}

void TestPressFrame::liftWhileHovered()
{
    enter(m_tile);
    QCOMPARE(m_tile->pos(), QPoint(40, 57));
    leave(m_tile);
    QCOMPARE(m_tile->pos(), QPoint(40, 60));
    // Paired events always bring it back.
    for (int i = 0; i < 5; ++i) {
        enter(m_tile);
        leave(m_tile);
    }
    QCOMPARE(m_tile->pos(), QPoint(40, 60));
}

void TestPressFrame::liftIsNotScaled()
{
    dpiScale = 1.5f;
    PressFrame tile(m_page.data());
    tile.move(10, 100);
    enter(&tile);
    QCOMPARE(tile.pos(), QPoint(10, 97));
    leave(&tile);
    QCOMPARE(tile.pos(), QPoint(10, 100));
}

void TestPressFrame::liftWhenTheCursorReallyMoves()
{
    QTest::mouseMove(m_page.data(), QPoint(300, 250));
    QCoreApplication::processEvents();
    const QPoint rest = m_tile->pos();
    QTest::mouseMove(m_page.data(), QPoint(100, 120));
    QTRY_COMPARE(m_tile->pos(), rest - QPoint(0, 3));
    QTest::mouseMove(m_page.data(), QPoint(300, 250));
    QTRY_COMPARE(m_tile->pos(), rest);
}

void TestPressFrame::pressWithAnyButton_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
}

void TestPressFrame::pressWithAnyButton()
{
    QFETCH(int, button);
    QSignalSpy pressed(m_tile, &PressFrame::sig_MousePressd);
    QTest::mousePress(m_tile, Qt::MouseButton(button), Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(m_page->presses, 0);
    QTest::mouseRelease(m_tile, Qt::MouseButton(button), Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(pressed.count(), 1);
    // A press beside the tile is the page's.
    QTest::mousePress(m_page.data(), Qt::MouseButton(button), Qt::NoModifier, QPoint(300, 250));
    QCOMPARE(m_page->presses, 1);
    QCOMPARE(pressed.count(), 1);
    QTest::mouseRelease(m_page.data(), Qt::MouseButton(button), Qt::NoModifier, QPoint(300, 250));
}

QTEST_MAIN(TestPressFrame)
#include "tst_pressframe.moc"
