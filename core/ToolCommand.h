#pragma once

#include <QString>
#include <QStringList>

class QProcess;

// One run of an outside tool: the program and its argument list, which is what is started, and
// the command text in the product's own quoted form, which is what is logged. Starting from the
// list means a file name can never add arguments, whatever quotes or blanks it holds.
class ToolCommand
{
public:
    ToolCommand() = default;
    ToolCommand(const QString& program, const QStringList& arguments, const QString& text);

    const QString& program() const { return m_program; }
    const QStringList& arguments() const { return m_arguments; }
    const QString& text() const { return m_text; }

    // The tool's own temporary files go into `folder` (the system's temporary folder as the tool sees
    // it), so that they go with the job's folder whatever way the tool ends.
    void setTempFolder(const QString& folder) { m_tempFolder = folder; }

    // Starts the command on the process in read-write mode (merged channels are the caller's choice).
    void startOn(QProcess& process) const;

    // A file name as one argument of a tool that reads options: a name that begins with '-' would be
    // taken for an option, so it is given as "./-name".
    static QString fileArgument(const QString& path);

private:
    QString m_program;
    QStringList m_arguments;
    QString m_text;
    QString m_tempFolder;
};
