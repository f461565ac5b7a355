// Draws the window pictures of the resource bundle, and optionally a contact sheet of them.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include "ContactSheet.h"
#include "FontFallbacks.h"
#include "PictureCatalog.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontFallbacks();

    QCommandLineParser parser;
    parser.setApplicationDescription("Draws the window pictures of the resource bundle.");
    parser.addHelpOption();
    const QCommandLineOption images("images", "Folder to write the pictures into.", "folder");
    const QCommandLineOption contact("contact-sheet", "Also write a contact sheet to this PNG file.", "file");
    const QCommandLineOption sheets("sheets", "Folder of the style sheets the contact sheet applies.",
                                    "folder");
    parser.addOptions({images, contact, sheets});
    parser.process(app);

    QTextStream err(stderr);
    if (!parser.isSet(images)) {
        err << "vx_artwork: --images is required\n";
        return 2;
    }
    const PictureCatalog catalog;
    QString failed;
    if (!catalog.writeAll(parser.value(images), &failed)) {
        err << "vx_artwork: cannot write " << failed << "\n";
        return 1;
    }
    if (!parser.isSet(contact))
        return 0;
    if (!parser.isSet(sheets)) {
        err << "vx_artwork: --contact-sheet needs --sheets\n";
        return 2;
    }
    const QString file = parser.value(contact);
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!ContactSheet(catalog, parser.value(images), parser.value(sheets)).render().save(file, "PNG")) {
        err << "vx_artwork: cannot write " << file << "\n";
        return 1;
    }
    return 0;
}
