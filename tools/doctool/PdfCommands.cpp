#include "PdfCommands.h"

#include "DocToolArguments.h"

bool PdfCommands::run(const DocToolArguments& arguments, QString* error)
{
    *error = QString("unknown -subtype=%1").arg(arguments.value("subtype"));
    return false;
}
