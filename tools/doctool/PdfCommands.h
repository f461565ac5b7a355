#pragma once

#include <QString>
#include <QStringList>

class DocToolArguments;

// "-type=3": "-subtype=3" cuts "-pageRange=" out of "-input=", "-subtype=2" compresses at
// "-quality=", "-subtype=1" merges the '*'-separated inputs, each into "-output=". An encrypted
// input that opens without a password (an owner's restrictions alone) gives its encryption to the
// output; one that needs a password is refused.
class PdfCommands
{
public:
    static bool run(const DocToolArguments& arguments, QString* error);

    // Each returns false with a one-line reason; the output path then holds no file of this run.
    static bool extractPages(const QString& input, const QString& output, const QString& pageRange,
                             QString* error);
    static bool compress(const QString& input, const QString& output, const QString& quality, QString* error);
    static bool merge(const QStringList& inputs, const QString& output, QString* error);
};
