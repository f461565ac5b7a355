#include "QBaseDialog.h"

#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QVariant>

#include "DpiScale.h"
#include "QCustomShadowEffect.h"
#include "Win32Api.h"
#include "Win32Window.h"

QBaseDialog::QBaseDialog(QWidget* parent)
    : QDialog(parent)
    , m_dragOffset(0, 0)
    , m_pressed(false)
{
}

void QBaseDialog::initDialog(const QString& cssPath)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    setProperty("dialog", true);
    installEventFilter(this);
    loadStyleSheet(cssPath);

    auto* shadow = new QCustomShadowEffect;
    shadow->setBlurRadius(8);
    shadow->setDistance(1);
    shadow->setColor(QColor(0, 0, 0, 52));
    setGraphicsEffect(shadow);
    update();
}

void QBaseDialog::loadStyleSheet(const QString& cssPath)
{
    setStyleSheet(readStyleSheet(cssPath));
}

void QBaseDialog::escapePressed()
{
    reject();
}

void QBaseDialog::enterPressed()
{
    accept();
}

void QBaseDialog::emptyHook() {}

int QBaseDialog::execForeground()
{
    Win32Window::SetForegroundWindow(reinterpret_cast<Win32Api::HWND>(winId()));
    return exec();
}

int QBaseDialog::execCentered()
{
    QWidget* parent = parentWidget();
    if (parent) {
        const int x = (parent->width() - width()) / 2;
        const int y = (parent->height() - height()) / 2;
        move(parent->mapToGlobal(QPoint(x, y)));
    }
    return exec();
}

void QBaseDialog::setWidgetProperty(QWidget* widget, const char* name, const QVariant& value)
{
    if (!widget)
        return;
    widget->setProperty(name, value);
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

void QBaseDialog::onClose()
{
    qDebug() << "on close:";
    reject();
}

void QBaseDialog::onOK()
{
    accept();
}

bool QBaseDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != this)
        return QDialog::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_pressed = true;
        m_dragOffset = mouse->globalPos() - pos();
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_pressed = false;
        return true;
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_pressed || !(mouse->buttons() & Qt::LeftButton))
            break;
        move(mouse->globalPos() - m_dragOffset);
        return true;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void QBaseDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        escapePressed();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enterPressed();
        break;
    default:
        break;
    }
    // Past QDialog's own handler: its default-button and Escape handling would act a second time.
    QWidget::keyPressEvent(event);
}
