#include "ToolCommand.h"

#include <QProcess>

ToolCommand::ToolCommand(const QString& program, const QStringList& arguments, const QString& text)
    : m_program(program)
    , m_arguments(arguments)
    , m_text(text)
{
}

void ToolCommand::startOn(QProcess& process) const
{
    process.start(m_program, m_arguments, QIODevice::ReadWrite);
}
