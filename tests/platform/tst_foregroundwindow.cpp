#include <QApplication>
#include <QWidget>
#include <QtTest>

#include "Win32Api.h"
#include "Win32Window.h"

namespace
{
// Counts the times a widget is raised (its stacking order changes).
class RaiseCounter : public QObject
{
public:
    int raised = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ZOrderChange)
            ++raised;
        return false;
    }
};
} // namespace

// SetForegroundWindow as this platform carries it out: the widget behind a window handle is
// raised and becomes the active window.
class ForegroundWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void activatesTheWidgetOfTheHandle();
    void unknownHandleFails();
};

void ForegroundWindowTest::activatesTheWidgetOfTheHandle()
{
    QWidget first;
    QWidget second;
    first.setGeometry(10, 10, 200, 100);
    second.setGeometry(40, 40, 200, 100);
    first.show();
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    second.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&second));
    RaiseCounter counter;
    first.installEventFilter(&counter);

    QCOMPARE(Win32Window::SetForegroundWindow(reinterpret_cast<Win32Api::HWND>(first.winId())),
             Win32Api::kTrue);
    QCOMPARE(counter.raised, 1);
    QVERIFY(QTest::qWaitForWindowActive(&first));
    QCOMPARE(QApplication::activeWindow(), &first);
}

void ForegroundWindowTest::unknownHandleFails()
{
    QCOMPARE(Win32Window::SetForegroundWindow(nullptr), Win32Api::kFalse);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorInvalidWindowHandle);

    WId gone = 0;
    {
        QWidget widget;
        gone = widget.winId();
    }
    QCOMPARE(Win32Window::SetForegroundWindow(reinterpret_cast<Win32Api::HWND>(gone)), Win32Api::kFalse);
    QCOMPARE(Win32Api::GetLastError(), Win32Api::kErrorInvalidWindowHandle);
}

QTEST_MAIN(ForegroundWindowTest)
#include "tst_foregroundwindow.moc"
