#include "WindowsLookStyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOption>

WindowsLookStyle::WindowsLookStyle()
    : QProxyStyle(QStyleFactory::create("Fusion"))
{
}

void WindowsLookStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    if (element == PE_Frame && (option->state & State_Raised))
        return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void WindowsLookStyle::install()
{
    QApplication::setStyle(new WindowsLookStyle);
}
