#include "DocToolArguments.h"

DocToolArguments::DocToolArguments(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (!argument.startsWith('-'))
            continue;
        const int equals = argument.indexOf('=');
        if (equals < 0) {
            m_values.insert(argument.mid(1), QString());
            continue;
        }
        m_values.insert(argument.mid(1, equals - 1), argument.mid(equals + 1));
    }
}
