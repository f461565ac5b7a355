#include "ToolCommand.h"

#include <QProcess>
#include <QProcessEnvironment>

ToolCommand::ToolCommand(const QString& program, const QStringList& arguments, const QString& text)
    : m_program(program)
    , m_arguments(arguments)
    , m_text(text)
{
}

void ToolCommand::startOn(QProcess& process) const
{
    if (!m_tempFolder.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", m_tempFolder);
        process.setProcessEnvironment(environment);
    }
    process.start(m_program, m_arguments, QIODevice::ReadWrite);
}

QString ToolCommand::fileArgument(const QString& path)
{
    return path.startsWith('-') ? "./" + path : path;
}
