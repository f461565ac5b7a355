#pragma once

#include <QString>

class DocToolArguments;

// "-type=6": converts the legacy ".doc"/".ppt" named by "-input=" to the ".docx"/".pptx" at "-output=".
class LegacyConverter
{
public:
    static bool run(const DocToolArguments& arguments, QString* error);
};
