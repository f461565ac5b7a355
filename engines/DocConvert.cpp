#include "DocConvert.h"

#include <QFile>
#include <QTimer>

#include "Tool.h"

// The document tool bounds LibreOffice itself; this leaves room for its start and the copy.
const int DocConvert::kTimeLimitMs = 5 * 60 * 1000;

DocConvert::DocConvert(const QString& toolPath, QObject* parent)
    : QObject(parent), m_toolPath(toolPath), m_process(new QProcess(this)), m_timeLimit(new QTimer(this)),
      m_ended(false)
{
    m_timeLimit->setSingleShot(true);
    connect(m_timeLimit, &QTimer::timeout, this, &DocConvert::onTimeLimit);
    connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this](int, QProcess::ExitStatus) {
                if (m_ended)
                    return;
                end();
                emit sig_Finished();
            });
    connect(m_process, &QProcess::errorOccurred, this, &DocConvert::onProcessError);
}

DocConvert::~DocConvert()
{
    // A conversion still running goes with the converter, without signalling from its destructor.
    m_process->disconnect(this);
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
        end();
        emit sig_Failed("input file missing");
        return;
    }
    m_timeLimit->start(kTimeLimitMs);
    command(m_toolPath, inputPath, outputPath).startOn(*m_process);
}

void DocConvert::onProcessError(QProcess::ProcessError error)
{
    // A crash also ends the process, and its finished signal reports that end.
    if (error != QProcess::FailedToStart || m_ended)
        return;
    end();
    emit sig_Failed(QString("document tool cannot start (%1)").arg(m_process->errorString()));
}

void DocConvert::onTimeLimit()
{
    if (m_ended)
        return;
    end();
    m_process->kill();
    emit sig_Failed(QString("document tool gave no result within %1 s").arg(kTimeLimitMs / 1000));
}

void DocConvert::end()
{
    m_ended = true;
    m_timeLimit->stop();
}
