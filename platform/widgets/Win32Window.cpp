#include "Win32Window.h"

#include <QWidget>

Win32Api::BOOL Win32Window::SetForegroundWindow(Win32Api::HWND window)
{
    QWidget* widget = window ? QWidget::find(reinterpret_cast<WId>(window)) : nullptr;
    if (!widget) {
        Win32Api::SetLastError(Win32Api::kErrorInvalidWindowHandle);
        return Win32Api::kFalse;
    }
    QWidget* top = widget->window();
    top->raise();
    top->activateWindow();
    return Win32Api::kTrue;
}
