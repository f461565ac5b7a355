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

    // Starts the command on the process in read-write mode (merged channels are the caller's choice).
    void startOn(QProcess& process) const;

private:
    QString m_program;
    QStringList m_arguments;
    QString m_text;
};
