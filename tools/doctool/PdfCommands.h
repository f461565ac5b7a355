#pragma once

#include <QString>

class DocToolArguments;

// "-type=3": "-subtype=3" cuts "-pageRange=" out of "-input=", "-subtype=2" compresses at
// "-quality=", "-subtype=1" merges the '*'-separated inputs, each into "-output=".
class PdfCommands
{
public:
    static bool run(const DocToolArguments& arguments, QString* error);
};
