#pragma once

#include <QProxyStyle>

// The look of the Windows style that the windows were laid out for, where it differs from Qt's
// Fusion style here: a raised styled panel (the forms' container frames) draws no border at all on
// Windows, so here it draws none either. Everything else is Fusion's.
class WindowsLookStyle : public QProxyStyle
{
    Q_OBJECT
public:
    WindowsLookStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

    // Makes it the application's style; call once, after the QApplication exists.
    static void install();
};
