#include "LegacyConverter.h"

#include "DocToolArguments.h"

bool LegacyConverter::run(const DocToolArguments& arguments, QString* error)
{
    *error = QString("cannot convert %1").arg(arguments.value("input"));
    return false;
}
