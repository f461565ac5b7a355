#pragma once

#include "Win32Api.h"

// The Windows window calls that the program makes, carried out on Qt's widgets.
class Win32Window
{
public:
    // Brings a window of this program to the front: the window handle is a widget's winId(), and the
    // widget found for it is raised and activated. Windows refuses other programs' windows in most
    // cases too; here they cannot be reached at all. A handle of no widget fails with
    // Win32Api::kErrorInvalidWindowHandle as the last error.
    static Win32Api::BOOL SetForegroundWindow(Win32Api::HWND window);
};
