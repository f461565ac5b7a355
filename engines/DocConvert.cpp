#include "DocConvert.h"

#include <QFile>
#include <QTemporaryDir>

#include "PlatformConstants.h"
#include "TempFolder.h"
#include "Tool.h"

// The document tool bounds LibreOffice itself; this leaves room for its start and the copy.
const int DocConvert::kTimeLimitMs = 5 * 60 * 1000;

DocConvert::DocConvert(const QString& toolPath, QObject* parent)
    : QObject(parent)
    , m_toolPath(toolPath)
    , m_tool(new ToolProcess(this))
    , m_timeLimitMs(kTimeLimitMs)
{
    m_tool->setTimeLimit(kTimeLimitMs);
    connect(m_tool, &ToolProcess::ended, this, &DocConvert::onToolEnded);
}

DocConvert::~DocConvert()
{
    cancel();
}

ToolCommand DocConvert::command(const QString& toolPath, const QString& inputPath, const QString& outputPath)
{
    const QString text = QString("%1 -type=6 -input=%2 -output=%3")
                             .arg(Tool::quote(toolPath), Tool::quote(inputPath), Tool::quote(outputPath));
    return ToolCommand(toolPath, {"-type=6", "-input=" + inputPath, "-output=" + outputPath}, text);
}

void DocConvert::setTimeLimit(int msecs)
{
    m_timeLimitMs = msecs;
    m_tool->setTimeLimit(msecs);
}

QString DocConvert::workFolder() const
{
    return m_workFolder ? m_workFolder->path() : QString();
}

void DocConvert::convert(QString inputPath, QString outputPath)
{
    m_inputPath = inputPath;
    m_outputPath = outputPath;
    if (!QFile::exists(inputPath)) {
        emit sig_Failed("input file missing");
        return;
    }
    const QString base = TempFolder::path();
    if (!base.isEmpty())
        m_workFolder = std::make_unique<QTemporaryDir>(base + "office-XXXXXX");
    if (!m_workFolder || !m_workFolder->isValid()) {
        m_workFolder.reset();
        emit sig_Failed("cannot make a work folder in " + PlatformConstants::tempFolder());
        return;
    }
    // The tool makes its own temporary files (LibreOffice's profile among them) in the system's
    // temporary folder: pointed at ours, they go with it whatever way the tool ends.
    ToolCommand run = command(m_toolPath, inputPath, outputPath);
    run.setTempFolder(m_workFolder->path());
    m_tool->start(run);
}

void DocConvert::cancel()
{
    if (!m_workFolder)
        return;
    const bool running = m_tool->isRunning();
    m_tool->cancel();
    if (running)
        QFile::remove(m_outputPath);
    m_workFolder.reset();
}

void DocConvert::onToolEnded(ToolProcess::End end)
{
    m_workFolder.reset();
    // Whatever the tool's exit (a crash included), the caller judges the converted file.
    if (end == ToolProcess::End::FailedToStart) {
        emit sig_Failed(QString("document tool cannot start (%1)").arg(m_tool->process()->errorString()));
    } else if (end == ToolProcess::End::TimedOut) {
        QFile::remove(m_outputPath); // the tool was killed, perhaps while writing it
        emit sig_Failed(QString("document tool gave no result within %1 s").arg(m_timeLimitMs / 1000.0));
    } else {
        emit sig_Finished();
    }
}
