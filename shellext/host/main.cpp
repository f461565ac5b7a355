#include <clocale>

#include <QCoreApplication>

#include "HostCommandLine.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Paths and texts of the file managers arrive in the user's encoding (UTF-8 when none is set).
    if (!std::setlocale(LC_CTYPE, ""))
        std::setlocale(LC_CTYPE, "C.UTF-8");
    return HostCommandLine::run(app.arguments().mid(1));
}
