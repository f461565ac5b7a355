// The document tool: "-type=3" PDF commands (1 merge, 2 compress, 3 cut a page range) and
// "-type=6" legacy document conversion. Exits 0 only when it wrote a valid result; otherwise
// prints one line with the reason to stderr.
#include <cstdio>

#include <QCoreApplication>
#include <QStringList>

#include "DocToolArguments.h"
#include "LegacyConverter.h"
#include "PdfCommands.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const DocToolArguments arguments(app.arguments().mid(1));
    QString error;
    bool ok = false;
    if (arguments.value("type") == "3")
        ok = PdfCommands::run(arguments, &error);
    else if (arguments.value("type") == "6")
        ok = LegacyConverter::run(arguments, &error);
    else
        error = QString("unknown -type=%1").arg(arguments.value("type"));
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
