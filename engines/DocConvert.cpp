#include "DocConvert.h"

#include <QFile>

#include "Tool.h"

// The document tool bounds LibreOffice itself; this leaves room for its start and the copy.
const int DocConvert::kTimeLimitMs = 5 * 60 * 1000;

DocConvert::DocConvert(const QString& toolPath, QObject* parent)
    : QObject(parent), m_toolPath(toolPath), m_tool(new ToolProcess(this))
{
    m_tool->setTimeLimit(kTimeLimitMs);
    connect(m_tool, &ToolProcess::ended, this, &DocConvert::onToolEnded);
}

ToolCommand DocConvert::command(const QString& toolPath, const QString& inputPath, const QString& outputPath)
{
    const QString text = QString("%1 -type=6 -input=%2 -output=%3")
                             .arg(Tool::quote(toolPath), Tool::quote(inputPath), Tool::quote(outputPath));
    return ToolCommand(toolPath, {"-type=6", "-input=" + inputPath, "-output=" + outputPath}, text);
}

void DocConvert::convert(QString inputPath, QString outputPath)
{
    m_inputPath = inputPath;
    m_outputPath = outputPath;
    if (!QFile::exists(inputPath)) {
        emit sig_Failed("input file missing");
        return;
    }
    m_tool->start(command(m_toolPath, inputPath, outputPath));
}

void DocConvert::onToolEnded(ToolProcess::End end)
{
    // Whatever the tool's exit (a crash included), the caller judges the converted file.
    if (end == ToolProcess::End::FailedToStart)
        emit sig_Failed(QString("document tool cannot start (%1)").arg(m_tool->process()->errorString()));
    else if (end == ToolProcess::End::TimedOut)
        emit sig_Failed(QString("document tool gave no result within %1 s").arg(kTimeLimitMs / 1000));
    else
        emit sig_Finished();
}
