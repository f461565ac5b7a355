// Prints where the main window's buttons sit, relative to the window's top-left corner, so that a
// scripted session of the real program under Xvfb can click them with xdotool. The window is laid
// out offscreen at the same display factor and with the same fonts, which gives the same geometry.
//
// Output: one line per widget, "<page> <objectName> <x> <y>", page "home" or the kind index.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include "DpiScale.h"
#include "FontFallbacks.h"
#include "Kind.h"
#include "MainWidget.h"
#include "Tool.h"
#include "WindowsLookStyle.h"

namespace
{

void print(QTextStream& out, const QString& page, QWidget& window, const char* name)
{
    auto* widget = window.findChild<QWidget*>(name);
    if (!widget)
        return;
    const QPoint centre = widget->mapTo(&window, widget->rect().center());
    out << page << ' ' << name << ' ' << centre.x() << ' ' << centre.y() << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initDpiScale();
    installFontFallbacks();
    WindowsLookStyle::install();
    // The window makes its history file and folders: keep them out of the user's.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    g_AppDataPath = scratch.path() + "/appdata";
    qputenv("VX_TEMP_DIR", (scratch.path() + "/VxTemp/").toLocal8Bit());

    MainWidget window;
    window.show();
    app.processEvents();
    QTextStream out(stdout);
    for (const char* tile :
         {"frameVideoComp", "frameImageComp", "framePDFComp", "frameWordComp", "framePPTComp"})
        print(out, "home", window, tile);
    const char* modes[] = {"btnVideoCompress", "btnImageCompress", "btnPPTCompress", "btnPDFCompress",
                           "btnWordCompress"};
    for (int kind = 0; kind < Kind::Count; ++kind) {
        window.findChild<QPushButton*>(modes[kind])->click();
        app.processEvents();
        for (const char* button : {"btnCompress", "btnHistory", "btnReturn", "btnAddFile", modes[kind]})
            print(out, QString::number(kind), window, button);
    }
    return 0;
}
