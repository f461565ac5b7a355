#include "JobEnding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "FilePlacement.h"
#include "RunningTools.h"
#include "Tool.h"
#include "ToolProcess.h"

JobEnding::JobEnding(const QString& kind, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_state(State::Running)
{
    connect(RunningTools::instance(), &RunningTools::sig_endAll, this, &JobEnding::cancel);
}

void JobEnding::addIntermediate(const QString& path)
{
    if (!path.isEmpty() && !m_intermediates.contains(path))
        m_intermediates.append(path);
}

void JobEnding::outputWriteStarts()
{
    if (m_outputNoted || isOver())
        return;
    m_outputNoted = true;
    m_outputBefore = FileState::of(m_output);
}

void JobEnding::writerStarts(const ToolProcess* writer)
{
    outputWriteStarts();
    m_writer = writer;
}

void JobEnding::progress(float progress, const QString& filePath)
{
    if (!isOver())
        emit sig_sendProgress(progress, false, filePath, 0.0f);
}

bool JobEnding::succeed(float compRate, float progress)
{
    if (!end(State::Succeeded))
        return false;
    emit sig_sendProgress(progress, true, m_output, compRate);
    return true;
}

bool JobEnding::fail(const QString& reason)
{
    if (!end(State::Failed))
        return false;
    Tool::writeLog(QString("%1 compress fail %2: %3").arg(m_kind, m_input, reason));
    // A failure has no output: the path stays empty, whatever the job was to write.
    emit sig_sendProgress(-1.0f, false, QString(), 0.0f);
    return true;
}

void JobEnding::cancel()
{
    end(State::Cancelled);
}

bool JobEnding::end(State state)
{
    if (isOver())
        return false;
    m_state = state;
    emit stopping();
    removeIntermediates();
    if (state != State::Succeeded)
        removePartialOutput();
    return true;
}

void JobEnding::removeIntermediates()
{
    for (const QString& path : qAsConst(m_intermediates)) {
        if (isInput(path))
            continue;
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else if (info.exists() || info.isSymLink())
            QFile::remove(path);
    }
    m_intermediates.clear();
}

void JobEnding::removePartialOutput()
{
    // Before its writing started the job has left nothing at the output, and a file there that is as
    // it was then (an earlier result, a writer that failed before writing) is not the job's.
    if (!m_outputNoted || m_output.isEmpty() || isInput(m_output))
        return;
    if (FileState::of(m_output) != m_outputBefore)
        QFile::remove(m_output);
    if (m_writer && m_writer->lastPid() > 0)
        QFile::remove(FilePlacement::passingName(m_output, m_writer->lastPid()));
}

bool JobEnding::isInput(const QString& path) const
{
    return !m_input.isEmpty() && QFileInfo(path).absoluteFilePath() == QFileInfo(m_input).absoluteFilePath();
}
