#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "DpiScale.h"
#include "QToolTipWidget.h"

namespace
{
QStringList g_debugLines;

void recordDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg)
        g_debugLines << text;
}

// Runs `answer` on the modal dialog as soon as the event loop shows it.
void answerModal(const std::function<void(QWidget*)>& answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

void clickButton(QWidget* modal, const char* name)
{
    auto* button = modal->findChild<QPushButton*>(name);
    if (button)
        QTest::mouseClick(button, Qt::LeftButton);
}

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, target->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Records when a widget is raised (its stacking order changes) and when it becomes the active window.
class FrontRecorder : public QObject
{
public:
    QStringList events;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ZOrderChange)
            events << "raised";
        else if (event->type() == QEvent::WindowActivate)
            events << "activated";
        return false;
    }
};
} // namespace

// The message dialog: what each button, key and the close button return and emit, hiding a
// button, dragging, centring and the property helper.
class TestToolTipWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void buttons_data();
    void buttons();
    void keys_data();
    void keys();
    void settersFillTheForm();
    void hiddenButtonLeavesTheOther();
    void dragWithLeftButton();
    void dragFromAChildFrame();
    void otherButtonsDoNotDrag();
    void execCenteredOverParent();
    void execCenteredWithoutParent();
    void execForegroundBringsTheDialogToTheFront();
    void widgetPropertyRepolishes();

private:
    QScopedPointer<QToolTipWidget> m_dialog;
    QtMessageHandler m_previousHandler = nullptr;
};

void TestToolTipWidget::init()
{
    m_dialog.reset(new QToolTipWidget);
    m_dialog->setBtnOpera1(QString::fromUtf8("确定"), true);
    m_dialog->setBtnOpera2(QString::fromUtf8("取消"), true);
    m_dialog->setTipText1(QString::fromUtf8("关闭应用"));
    m_dialog->setTipText2(QString::fromUtf8("软件结束后将结束当前工作进程，确定要退出吗？"), Qt::AlignLeft);
    g_debugLines.clear();
    m_previousHandler = qInstallMessageHandler(recordDebug);
}

void TestToolTipWidget::cleanup()
{
    qInstallMessageHandler(m_previousHandler);
    m_dialog.reset();
    dpiScale = 1.0f;
}

void TestToolTipWidget::buttons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("opera1");
    QTest::addColumn<int>("opera2");
    QTest::addColumn<QStringList>("debug");
    QTest::newRow("first") << "btnOpera1" << int(QDialog::Accepted) << 1 << 0 << QStringList();
    QTest::newRow("second") << "btnOpera2" << int(QDialog::Rejected) << 0 << 1 << QStringList{"on close:"};
    QTest::newRow("close") << "btnClose" << int(QDialog::Rejected) << 0 << 0 << QStringList{"on close:"};
}

void TestToolTipWidget::buttons()
{
    QFETCH(QString, button);
    QFETCH(int, result);
    QFETCH(int, opera1);
    QFETCH(int, opera2);
    QFETCH(QStringList, debug);
    QSignalSpy spy1(m_dialog.data(), &QToolTipWidget::signal_opera1);
    QSignalSpy spy2(m_dialog.data(), &QToolTipWidget::signal_opera2);
    // The signals come while the dialog is still open.
    bool openAtSignal = false;
    auto openCheck = [this, &openAtSignal]() { openAtSignal = m_dialog->isVisible(); };
    connect(m_dialog.data(), &QToolTipWidget::signal_opera1, this, openCheck);
    connect(m_dialog.data(), &QToolTipWidget::signal_opera2, this, openCheck);
    QWidget* answered = nullptr;
    answerModal([&](QWidget* modal) {
        answered = modal;
        clickButton(modal, qPrintable(button));
    });
    QCOMPARE(m_dialog->execForeground(), result);
    QCOMPARE(answered, m_dialog.data());
    QCOMPARE(spy1.count(), opera1);
    QCOMPARE(spy2.count(), opera2);
    QCOMPARE(openAtSignal, opera1 + opera2 > 0);
    QCOMPARE(g_debugLines, debug);
}

void TestToolTipWidget::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestToolTipWidget::keys()
{
    QFETCH(int, key);
    QFETCH(int, result);
    QSignalSpy spy1(m_dialog.data(), &QToolTipWidget::signal_opera1);
    QSignalSpy spy2(m_dialog.data(), &QToolTipWidget::signal_opera2);
    // Other keys do nothing; then the key under test reaches the dialog's own handler.
    answerModal([key](QWidget* modal) {
        QTest::keyClick(modal, Qt::Key_A);
        QTest::keyClick(modal, Qt::Key_Space);
        if (!modal->isVisible())
            return;
        QTest::keyClick(modal, Qt::Key(key));
    });
    QCOMPARE(m_dialog->execForeground(), result);
    QCOMPARE(spy1.count(), 0);
    QCOMPARE(spy2.count(), 0);
    QVERIFY(g_debugLines.isEmpty());
}

void TestToolTipWidget::settersFillTheForm()
{
    QCOMPARE(m_dialog->findChild<QLabel*>("labelTitle")->text(), QString::fromUtf8("提示"));
    m_dialog->setTitle(QString::fromUtf8("注意"));
    QCOMPARE(m_dialog->findChild<QLabel*>("labelTitle")->text(), QString::fromUtf8("注意"));
    QCOMPARE(m_dialog->findChild<QLabel*>("labelTipText1")->text(), QString::fromUtf8("关闭应用"));
    auto* body = m_dialog->findChild<QLabel*>("labelTipText2");
    QCOMPARE(body->text(), QString::fromUtf8("软件结束后将结束当前工作进程，确定要退出吗？"));
    QCOMPARE(body->alignment(), Qt::Alignment(Qt::AlignLeft));
    m_dialog->setTipText2("x", Qt::AlignHCenter | Qt::AlignBottom);
    QCOMPARE(body->alignment(), Qt::AlignHCenter | Qt::AlignBottom);
    QCOMPARE(m_dialog->findChild<QPushButton*>("btnOpera1")->text(), QString::fromUtf8("确定"));
    QCOMPARE(m_dialog->findChild<QPushButton*>("btnOpera2")->text(), QString::fromUtf8("取消"));
    QVERIFY(m_dialog->styleSheet().contains("QPushButton#btnOpera1"));
    QCOMPARE(m_dialog->styleSheet(), readStyleSheet(":/tooltip.css"));
}

void TestToolTipWidget::hiddenButtonLeavesTheOther()
{
    auto* first = m_dialog->findChild<QPushButton*>("btnOpera1");
    auto* second = m_dialog->findChild<QPushButton*>("btnOpera2");
    m_dialog->setBtnOpera1(QString::fromUtf8("确定"), false);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.data()));
    QVERIFY(!first->isVisible());
    QVERIFY(second->isVisible());
    QCOMPARE(second->size(), QSize(96, 38));

    m_dialog->setBtnOpera1(QString::fromUtf8("确定"), true);
    m_dialog->setBtnOpera2(QString::fromUtf8("取消"), false);
    QCoreApplication::processEvents();
    QVERIFY(first->isVisible());
    QVERIFY(!second->isVisible());
    QCOMPARE(first->size(), QSize(96, 38));
}

void TestToolTipWidget::dragWithLeftButton()
{
    m_dialog->move(100, 120);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.data()));
    const QPoint start = m_dialog->pos();
    const QPoint grab(50, 150);
    const QPoint grabGlobal = m_dialog->mapToGlobal(grab);
    sendMouse(m_dialog.data(), QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    sendMouse(m_dialog.data(), QEvent::MouseMove, grab + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_dialog->pos(), start + QPoint(30, 20));
    // The grab point stays under the cursor.
    QCOMPARE(m_dialog->mapToGlobal(grab), grabGlobal + QPoint(30, 20));

    // A move without the left button held moves nothing (and does not end the drag).
    const QPoint local = m_dialog->mapFromGlobal(grabGlobal + QPoint(60, 60));
    sendMouse(m_dialog.data(), QEvent::MouseMove, local, Qt::NoButton, Qt::RightButton);
    QCOMPARE(m_dialog->pos(), start + QPoint(30, 20));
    sendMouse(m_dialog.data(), QEvent::MouseMove, local, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_dialog->pos(), start + QPoint(60, 60));

    // Releasing any button ends the drag.
    sendMouse(m_dialog.data(), QEvent::MouseButtonRelease,
              m_dialog->mapFromGlobal(grabGlobal + QPoint(60, 60)), Qt::MiddleButton, Qt::LeftButton);
    sendMouse(m_dialog.data(), QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_dialog->pos(), start + QPoint(60, 60));
}

void TestToolTipWidget::dragFromAChildFrame()
{
    m_dialog->move(200, 200);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.data()));
    const QPoint start = m_dialog->pos();
    // The body text and its frame leave the press unhandled: it reaches the dialog.
    auto* body = m_dialog->findChild<QLabel*>("labelTipText2");
    sendMouse(body, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
    sendMouse(body, QEvent::MouseMove, QPoint(5, 5) + QPoint(-40, 25), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_dialog->pos(), start + QPoint(-40, 25));
    sendMouse(m_dialog.data(), QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
}

void TestToolTipWidget::otherButtonsDoNotDrag()
{
    m_dialog->move(150, 150);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.data()));
    const QPoint start = m_dialog->pos();
    sendMouse(m_dialog.data(), QEvent::MouseButtonPress, QPoint(40, 120), Qt::RightButton, Qt::RightButton);
    sendMouse(m_dialog.data(), QEvent::MouseMove, QPoint(90, 170), Qt::NoButton,
              Qt::RightButton | Qt::LeftButton);
    QCOMPARE(m_dialog->pos(), start);
    sendMouse(m_dialog.data(), QEvent::MouseButtonPress, QPoint(40, 120), Qt::MiddleButton, Qt::MiddleButton);
    sendMouse(m_dialog.data(), QEvent::MouseMove, QPoint(90, 170), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_dialog->pos(), start);
}

void TestToolTipWidget::execCenteredOverParent()
{
    QWidget parent;
    parent.setGeometry(50, 60, 801, 600);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QToolTipWidget dialog(&parent);
    QPoint shownAt;
    answerModal([&shownAt](QWidget* modal) {
        shownAt = modal->pos();
        clickButton(modal, "btnClose");
    });
    QCOMPARE(dialog.execCentered(), int(QDialog::Rejected));
    // (801 - 332) / 2 truncates to 234; (600 - 228) / 2 is 186.
    QCOMPARE(shownAt, parent.mapToGlobal(QPoint(234, 186)));
}

void TestToolTipWidget::execCenteredWithoutParent()
{
    m_dialog->move(123, 77);
    QPoint shownAt;
    answerModal([&shownAt](QWidget* modal) {
        shownAt = modal->pos();
        clickButton(modal, "btnOpera1");
    });
    QCOMPARE(m_dialog->execCentered(), int(QDialog::Accepted));
    QCOMPARE(shownAt, QPoint(123, 77));
}

void TestToolTipWidget::execForegroundBringsTheDialogToTheFront()
{
    // The dialog is already on screen, and another window was activated after it: exec() alone
    // would run it modally where it is, behind. execForeground() brings it to the front first.
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.data()));
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    FrontRecorder recorder;
    m_dialog->installEventFilter(&recorder);

    // While it runs, the dialog is answered as soon as it is the active window (or after a bound
    // far above what any machine needs, so that a failure does not hang).
    bool activeWhileRunning = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        activeWhileRunning = QApplication::activeWindow() == m_dialog.data();
        if (!activeWhileRunning && clock.elapsed() < 30000)
            return;
        poll.stop();
        clickButton(m_dialog.data(), "btnOpera2");
    });
    poll.start(10);
    QCOMPARE(m_dialog->execForeground(), int(QDialog::Rejected));
    QVERIFY(activeWhileRunning);
    QCOMPARE(recorder.events.value(0), QString("raised"));
    QVERIFY(recorder.events.contains("activated"));
}

namespace
{
// A dialog of its own on the base, with one label and the sheet at `cssPath`.
class LabelDialog : public QBaseDialog
{
public:
    explicit LabelDialog(const QString& cssPath)
        : label(new QLabel("!", this))
    {
        label->setObjectName("labelWarn");
        initDialog(cssPath);
    }
    QLabel* label;
};
} // namespace

void TestToolTipWidget::widgetPropertyRepolishes()
{
    m_dialog->setWidgetProperty(nullptr, "warn", true);

    QTemporaryDir dir;
    const QString cssPath = dir.filePath("warn.css");
    QFile css(cssPath);
    QVERIFY(css.open(QIODevice::WriteOnly));
    css.write(
        "QLabel { color: #000000; font-size: 14px; }\nQLabel#labelWarn[warn=\"true\"] { color: #FF0000; }\n");
    css.close();
    dpiScale = 1.5f;
    LabelDialog dialog(cssPath);
    // The base loaded the sheet through the loader, font sizes scaled.
    QVERIFY(dialog.styleSheet().startsWith("QLabel { color: #000000; font-size: 21px; }"));
    dialog.ensurePolished();
    QCOMPARE(dialog.label->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    dialog.setWidgetProperty(dialog.label, "warn", true);
    QCOMPARE(dialog.label->property("warn"), QVariant(true));
    QCOMPARE(dialog.label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    dialog.setWidgetProperty(dialog.label, "warn", false);
    QCOMPARE(dialog.label->palette().color(QPalette::WindowText), QColor(0, 0, 0));
}

QTEST_MAIN(TestToolTipWidget)
#include "tst_tooltipwidget.moc"
